#pragma once
// The program's one open-file handle: a regular file opened to read, with
// positioned reads (pread, so two threads may read one file at once), or an
// output file created anew that never follows a link in its place. Errors
// are errno values.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace fq {

class File {
 public:
  enum class Links { Follow, Refuse };

  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Opens an existing regular file for reading only (a folder, device or
  // FIFO is refused: EISDIR or EINVAL; the open never waits on a FIFO).
  // With Links::Refuse a link in the last place of the path is refused (ELOOP).
  static File OpenRead(const std::filesystem::path& path, Links links = Links::Follow);
  // Creates the file or empties an existing one, for writing. A link standing
  // at `path` is refused (ELOOP), so a planted link cannot redirect a write.
  // When a write or the close fails, close() removes the file: no partial file
  // passes for a written one.
  static File CreateOutput(const std::filesystem::path& path);
  // Opens an output file to add to its end, creating it when missing; a link
  // is refused as by CreateOutput.
  static File OpenAppend(const std::filesystem::path& path);

  bool ok() const { return m_fd >= 0; }
  // errno of the failed open, or the first failed write or close; else 0.
  int32_t error() const { return m_error; }

  // Size in bytes, or -1 (errno in `error`).
  int64_t size();
  // True when `path` names this very file (another link or spelling of it).
  bool isSameFileAs(const std::filesystem::path& path) const;

  // Reads up to `buffer.size()` bytes at `offset`; `got` is the count read
  // (short only at the end of the file). Returns 0 or an errno value.
  int32_t readAt(uint64_t offset, std::span<uint8_t> buffer, size_t& got) const;
  // Writes all of `bytes` at `offset`. Returns 0 or an errno value.
  int32_t writeAt(uint64_t offset, std::span<const uint8_t> bytes);
  // Writes all of `bytes` after what was written before. 0 or errno; the
  // first failure sticks, and later writes return it without writing.
  int32_t write(std::span<const uint8_t> bytes);
  int32_t write(std::string_view bytes);
  // Closes the file: 0, or the first errno of a write or of the close (a file
  // system may report a failed write only then).
  int32_t close();

 private:
  explicit File(int fd, int32_t error) : m_fd(fd), m_error(error) {}
  int m_fd = -1;
  int32_t m_error = 0;
  std::filesystem::path m_removeOnFailure;  // a created output file
};

// Creates `path` anew (see File::CreateOutput), writes `bytes`, closes it:
// 0 or the first errno.
int32_t WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace fq

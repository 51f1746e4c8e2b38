#pragma once
// An open file with positioned reads and writes (pread/pwrite): no shared file
// offset, so two threads may read one file at once. Errors are errno values.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace fq {

class File {
 public:
  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Opens an existing regular file for reading only (a folder, device or
  // FIFO is refused: EISDIR or EINVAL).
  static File OpenRead(const std::filesystem::path& path);
  // Creates the file or empties an existing one, for writing.
  static File CreateTruncate(const std::filesystem::path& path);

  bool ok() const { return m_fd >= 0; }
  int32_t error() const { return m_error; }  // errno of the failed open, else 0

  // Size in bytes, or -1 (errno in `error`).
  int64_t size();
  // Reads up to `buffer.size()` bytes at `offset`; `got` is the count read
  // (short only at the end of the file). Returns 0 or an errno value.
  int32_t readAt(uint64_t offset, std::span<uint8_t> buffer, size_t& got);
  // Writes all of `bytes` at `offset`. Returns 0 or an errno value.
  int32_t writeAt(uint64_t offset, std::span<const uint8_t> bytes);

 private:
  explicit File(int fd, int32_t error) : m_fd(fd), m_error(error) {}
  int m_fd = -1;
  int32_t m_error = 0;
};

}  // namespace fq

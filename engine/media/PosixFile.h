#pragma once
// An open file descriptor with the few operations the file copies need:
// positioned whole reads, whole writes, and errno kept for the result code.
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <span>

namespace fq {

class PosixFile {
 public:
  // Read-only, and only a regular file: opening never blocks (O_NONBLOCK keeps a
  // FIFO from hanging) and never writes the source.
  static PosixFile OpenForReading(const std::filesystem::path& path);
  // Creates the file or empties an existing one.
  static PosixFile CreateForWriting(const std::filesystem::path& path);

  PosixFile() = default;
  PosixFile(PosixFile&& other) noexcept;
  PosixFile& operator=(PosixFile&& other) noexcept;
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;
  ~PosixFile();

  bool ok() const { return m_fd >= 0; }
  int error() const { return m_error; }  // errno of the last failure
  uint64_t size() const { return m_size; }
  // True when `path` names this very file (another link or spelling of it).
  bool isSameFileAs(const std::filesystem::path& path) const;

  // Reads up to buffer.size() bytes at `offset`, retrying short reads until the
  // end of the file. Returns the count read, or -1 (see error()).
  ssize_t readAt(uint64_t offset, std::span<uint8_t> buffer);
  // Writes all of `bytes`; 0 or the errno of the failure.
  int writeAll(std::span<const uint8_t> bytes);

 private:
  explicit PosixFile(int fd) : m_fd(fd) {}
  int m_fd = -1;
  int m_error = 0;
  uint64_t m_size = 0;
  dev_t m_device = 0;
  ino_t m_inode = 0;
};

}  // namespace fq

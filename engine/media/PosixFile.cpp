#include "engine/media/PosixFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace fq {

PosixFile PosixFile::OpenForReading(const std::filesystem::path& path) {
  PosixFile file;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    file.m_error = errno;
    return file;
  }
  PosixFile opened(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    file.m_error = errno;
    return file;
  }
  if (!S_ISREG(st.st_mode)) {
    file.m_error = EINVAL;
    return file;
  }
  opened.m_size = static_cast<uint64_t>(st.st_size);
  opened.m_device = st.st_dev;
  opened.m_inode = st.st_ino;
  return opened;
}

PosixFile PosixFile::CreateForWriting(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  PosixFile file(fd);
  if (fd < 0) file.m_error = errno;
  return file;
}

PosixFile::PosixFile(PosixFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_error(other.m_error),
      m_size(other.m_size),
      m_device(other.m_device),
      m_inode(other.m_inode) {}

PosixFile& PosixFile::operator=(PosixFile&& other) noexcept {
  if (this != &other) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = std::exchange(other.m_fd, -1);
    m_error = other.m_error;
    m_size = other.m_size;
    m_device = other.m_device;
    m_inode = other.m_inode;
  }
  return *this;
}

PosixFile::~PosixFile() {
  if (m_fd >= 0) ::close(m_fd);
}

bool PosixFile::isSameFileAs(const std::filesystem::path& path) const {
  struct stat st {};
  return ok() && ::stat(path.c_str(), &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode;
}

ssize_t PosixFile::readAt(uint64_t offset, std::span<uint8_t> buffer) {
  size_t done = 0;
  while (done < buffer.size()) {
    const ssize_t n =
        ::pread(m_fd, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      m_error = errno;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

int PosixFile::writeAll(std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      m_error = errno;
      return m_error;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace fq

#include "engine/platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <utility>

namespace fq {

File::File(File&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_error(other.m_error),
      m_removeOnFailure(std::move(other.m_removeOnFailure)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = std::exchange(other.m_fd, -1);
    m_error = other.m_error;
    m_removeOnFailure = std::move(other.m_removeOnFailure);
  }
  return *this;
}

File::~File() {
  if (m_fd >= 0) ::close(m_fd);
}

File File::OpenRead(const std::filesystem::path& path, Links links) {
  // Non-blocking, so that a FIFO planted in a backup cannot hang the open.
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (links == Links::Refuse ? O_NOFOLLOW : 0);
  const int fd = ::open(path.c_str(), flags);
  if (fd < 0) return File(-1, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int32_t error = errno;
    ::close(fd);
    return File(-1, error);
  }
  // Only regular files are read: a folder, a device or a FIFO is no stored file.
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return File(-1, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  }
  const int status = ::fcntl(fd, F_GETFL);
  if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  return File(fd, 0);
}

File File::CreateOutput(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return File(-1, errno);
  File file(fd, 0);
  // Only a regular file is ours to remove; a device such as /dev/full is not.
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) file.m_removeOnFailure = path;
  return file;
}

File File::OpenAppend(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return File(-1, errno);
  return File(fd, 0);
}

int64_t File::size() {
  struct stat st {};
  if (m_fd < 0) return -1;
  if (::fstat(m_fd, &st) != 0) {
    m_error = errno;
    return -1;
  }
  return static_cast<int64_t>(st.st_size);
}

bool File::isSameFileAs(const std::filesystem::path& path) const {
  struct stat mine {};
  struct stat other {};
  return m_fd >= 0 && ::fstat(m_fd, &mine) == 0 && ::stat(path.c_str(), &other) == 0 &&
         mine.st_dev == other.st_dev && mine.st_ino == other.st_ino;
}

int32_t File::readAt(uint64_t offset, std::span<uint8_t> buffer, size_t& got) const {
  got = 0;
  if (m_fd < 0) return EBADF;
  if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return EINVAL;
  while (got < buffer.size()) {
    const uint64_t at = offset + got;
    if (at > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return EINVAL;
    const ssize_t n = ::pread(m_fd, buffer.data() + got, buffer.size() - got, static_cast<off_t>(at));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return 0;
}

int32_t File::writeAt(uint64_t offset, std::span<const uint8_t> bytes) {
  if (m_fd < 0) return EBADF;
  size_t done = 0;
  while (done < bytes.size()) {
    const uint64_t at = offset + done;
    if (at > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return EINVAL;
    const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(at));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    done += static_cast<size_t>(n);
  }
  return 0;
}

int32_t File::write(std::span<const uint8_t> bytes) {
  if (m_fd < 0) return m_error ? m_error : EBADF;
  if (m_error) return m_error;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return m_error = errno;
    }
    if (n == 0) return m_error = EIO;
    done += static_cast<size_t>(n);
  }
  return 0;
}

int32_t File::write(std::string_view bytes) {
  return write(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

int32_t File::close() {
  if (m_fd < 0) return m_error;
  if (::close(std::exchange(m_fd, -1)) != 0 && !m_error) m_error = errno;
  if (m_error && !m_removeOnFailure.empty()) ::unlink(m_removeOnFailure.c_str());
  return m_error;
}

int32_t WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  File file = File::CreateOutput(path);
  if (!file.ok()) return file.error();
  file.write(bytes);
  return file.close();
}

}  // namespace fq

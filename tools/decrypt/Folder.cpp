#include "tools/decrypt/Folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace fq::decrypt {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    close();
    m_fd = std::exchange(other.m_fd, -1);
  }
  return *this;
}

UniqueFd::~UniqueFd() { close(); }

int UniqueFd::close() {
  if (m_fd < 0) return 0;
  return ::close(std::exchange(m_fd, -1)) == 0 ? 0 : errno;
}

Folder Folder::Open(const std::filesystem::path& path) {
  Folder folder;
  folder.m_fd = UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.m_fd.ok()) folder.m_error = errno;
  return folder;
}

Folder Folder::WorkingDirectory() { return Folder(); }

int Folder::descriptor() const { return m_fd.ok() ? m_fd.get() : AT_FDCWD; }

int Folder::openRegular(const char* relative, UniqueFd& file, struct stat& status) const {
  if (m_error != 0) return m_error;
  // Non-blocking, so that a FIFO planted in a backup cannot hang the open; a
  // regular file reads the same either way.
  file = UniqueFd(::openat(descriptor(), relative, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.ok()) return errno;
  if (::fstat(file.get(), &status) != 0) {
    const int error = errno;
    file.close();
    return error;
  }
  if (!S_ISREG(status.st_mode)) {
    file.close();
    return S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
  }
  return 0;
}

int Folder::createFile(const char* name, UniqueFd& file) const {
  if (m_error != 0) return m_error;
  constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  file = UniqueFd(::openat(descriptor(), name, kFlags, 0644));
  if (file.ok()) return 0;
  if (errno != EEXIST) return errno;
  // Something is there already, left from an earlier run or planted.
  struct stat there {};
  if (::fstatat(descriptor(), name, &there, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (S_ISLNK(there.st_mode)) return ELOOP;
  if (!S_ISREG(there.st_mode)) return S_ISDIR(there.st_mode) ? EISDIR : EEXIST;
  if (::unlinkat(descriptor(), name, 0) != 0) return errno;
  file = UniqueFd(::openat(descriptor(), name, kFlags, 0644));
  return file.ok() ? 0 : errno;
}

void Folder::remove(const char* name) const {
  if (m_error == 0) ::unlinkat(descriptor(), name, 0);
}

}  // namespace fq::decrypt

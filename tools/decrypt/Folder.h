#pragma once
// A folder the decrypt tool reads from or writes into, held open by one
// descriptor: its files are opened and created by names relative to it, so a
// run over thousands of files walks no long path per file.
#include <sys/stat.h>

#include <filesystem>
#include <utility>

namespace fq::decrypt {

// A file descriptor, closed when it goes out of scope.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : m_fd(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd();

  int get() const { return m_fd; }
  bool ok() const { return m_fd >= 0; }
  // Closes now: 0, or the errno of the close (a file system may report a
  // failed write only then).
  int close();

 private:
  int m_fd = -1;
};

class Folder {
 public:
  // The folder at `path` (a link to a folder is followed); ok() is false and
  // error() the errno when it cannot be opened.
  static Folder Open(const std::filesystem::path& path);
  // The working directory: names are then paths, absolute or relative.
  static Folder WorkingDirectory();

  bool ok() const { return m_error == 0; }
  int error() const { return m_error; }

  // Opens the regular file at `relative` to read; `status` receives what it
  // is. A folder, device or FIFO is refused (EISDIR, EINVAL) without waiting
  // on it. Returns 0 or errno.
  int openRegular(const char* relative, UniqueFd& file, struct stat& status) const;
  // Creates the file `name` to write. A regular file already there is
  // replaced by a new one, never written through (another link to it keeps
  // its content); a link there is refused (ELOOP). Returns 0 or errno.
  int createFile(const char* name, UniqueFd& file) const;
  // Removes the file `name`, when there is one.
  void remove(const char* name) const;

 private:
  int descriptor() const;

  UniqueFd m_fd;  // not open for the working directory
  int m_error = 0;
};

}  // namespace fq::decrypt

#include "output/OutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace fq {

int32_t CreateOutputFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return ec.value() ? ec.value() : EIO;
  // create_directories succeeds quietly when a file, not a folder, has the name.
  if (!std::filesystem::is_directory(folder, ec)) return ENOTDIR;
  return 0;
}

OutputFile::~OutputFile() { Close(); }

int32_t OutputFile::Open(const std::filesystem::path& path) {
  Close();
  m_error = 0;
  m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (m_fd < 0) return m_error = errno;
  m_path = path;
  return 0;
}

int32_t OutputFile::Write(std::string_view bytes) {
  if (m_fd < 0) return m_error ? m_error : EBADF;
  if (m_error) return m_error;
  while (!bytes.empty()) {
    const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return m_error = errno;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

int32_t OutputFile::Close() {
  if (m_fd < 0) return m_error;
  if (::close(m_fd) != 0 && !m_error) m_error = errno;
  m_fd = -1;
  if (m_error) ::unlink(m_path.c_str());
  return m_error;
}

int32_t WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  OutputFile file;
  if (const int32_t rc = file.Open(path)) return rc;
  file.Write(bytes);
  return file.Close();
}

}  // namespace fq

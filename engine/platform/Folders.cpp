#include "engine/platform/Folders.h"

#include <cerrno>
#include <system_error>

#include "engine/platform/ChunkedCopy.h"

namespace fq {
namespace {

int32_t ErrnoOf(const std::error_code& ec) {
  if (!ec) return 0;
  return ec.category() == std::generic_category() || ec.category() == std::system_category() ? ec.value()
                                                                                             : EIO;
}

}  // namespace

int32_t CreateFolders(const std::filesystem::path& folder) {
  if (folder.empty()) return EINVAL;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return ErrnoOf(ec);
  return std::filesystem::is_directory(folder, ec) ? 0 : ENOTDIR;
}

int32_t ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries) {
  if (folder.empty()) return EINVAL;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return ErrnoOf(ec);
  for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return ErrnoOf(ec);
    std::error_code typeEc;
    const bool isFolder = it->is_directory(typeEc) && !it->is_symlink(typeEc);
    entries.push_back({it->path().filename().string(), isFolder});
  }
  return ErrnoOf(ec);
}

int32_t CopyFileReplacing(const std::filesystem::path& source, const std::filesystem::path& destination) {
  return CopyFileInChunks(source, destination, nullptr);
}

int32_t DeleteFileAt(const std::filesystem::path& path) {
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(path, ec);
  if (ec) return ErrnoOf(ec);
  if (std::filesystem::is_directory(status)) return EISDIR;
  if (!std::filesystem::remove(path, ec) && !ec) return ENOENT;
  return ErrnoOf(ec);
}

bool IsRegularFile(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

bool IsFolder(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

}  // namespace fq

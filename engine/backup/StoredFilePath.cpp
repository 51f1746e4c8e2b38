#include "engine/backup/StoredFilePath.h"

#include <string>

namespace fq {
namespace {

bool IsFileId(std::string_view id) {
  if (id.size() != 40) return false;
  for (char c : id) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

}  // namespace

std::filesystem::path StoredFilePath(const std::filesystem::path& folder, std::string_view fileId,
                                     StorageLayout layout) {
  if (!IsFileId(fileId)) return {};
  if (layout == StorageLayout::TwoCharacterFolders) {
    return folder / std::string(fileId.substr(0, 2)) / std::string(fileId);
  }
  return folder / std::string(fileId);
}

}  // namespace fq

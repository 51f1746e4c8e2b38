#pragma once
// Which stored files of a backup folder exist, found by reading each folder of
// stored files once instead of asking the file system about every file.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/backup/StoredFilePath.h"

namespace fq {

class StoredFileListing {
 public:
  StoredFileListing(std::filesystem::path folder, StorageLayout layout);

  // Whether StoredFilePath(folder, fileId, layout) is a regular file, links
  // followed: the answer of a stat of that path. A folder is read on the first
  // question about a file in it; one that cannot be read, and ids or names in
  // capitals (which a file system blind to case would match), are asked file by file.
  bool isRegularFile(std::string_view fileId);

 private:
  enum class State : uint8_t { Unread, Listed, AskEach };
  struct Folder {
    State state = State::Unread;
    std::vector<uint32_t> sorted;  // indexes into m_names, in the order of their bytes
  };

  Folder& folderOf(std::string_view fileId);
  void list(Folder& folder, std::string_view fileId);
  const char* nameAt(uint32_t index) const;

  std::filesystem::path m_folder;
  StorageLayout m_layout;
  // One per two-character subfolder of lowercase digits; the flat layout uses
  // the first only.
  std::array<Folder, 16 * 16> m_folders;
  std::string m_names;  // the regular files' names, 40 bytes each
};

}  // namespace fq

#pragma once
// Which stored files of a backup folder exist, found by reading each folder of
// stored files once instead of asking the file system about every file.
#include <array>
#include <cstdint>
#include <filesystem>
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
  // A lowercase file id as the 20 bytes it spells, compared as numbers.
  struct Name {
    uint64_t high = 0;
    uint64_t middle = 0;
    uint32_t low = 0;
    auto operator<=>(const Name&) const = default;
  };
  static Name NameOf(std::string_view lowercaseId);

  enum class State : uint8_t { Unread, Listed, AskEach };
  struct Folder {
    State state = State::Unread;
    std::vector<Name> sorted;  // its regular files
  };

  Folder& folderOf(std::string_view fileId);
  void list(Folder& folder, std::string_view fileId);

  std::filesystem::path m_folder;
  StorageLayout m_layout;
  // One per two-character subfolder of lowercase digits; the flat layout uses
  // the first only.
  std::array<Folder, size_t{256}> m_folders;
};

}  // namespace fq

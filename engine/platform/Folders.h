#pragma once
// Folder and file operations of the platform: creation with parents, listing,
// copy and delete. Every operation answers 0 or an errno value; none throws.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fq {

struct FolderEntry {
  std::string name;
  bool isFolder = false;  // a real folder; a link to one counts as a file
  bool operator==(const FolderEntry&) const = default;
};

// Creates `folder` with every missing parent. 0 when it exists afterwards.
int32_t CreateFolders(const std::filesystem::path& folder);

// The entries of `folder` other than "." and "..", in the order the file
// system gives them. 0 or the errno of the failed listing.
int32_t ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries);

// Copies a regular file over `destination` (replacing it, but never through a
// link standing there, nor onto the source itself). 0 or an errno value
// (30 when the source reads shorter than its size).
int32_t CopyFileReplacing(const std::filesystem::path& source, const std::filesystem::path& destination);

// Deletes one file (or link, never what it points to). 0 or an errno value.
int32_t DeleteFileAt(const std::filesystem::path& path);

// True when `path` names a regular file (links followed).
bool IsRegularFile(const std::filesystem::path& path);
// True when `path` names a folder (links followed).
bool IsFolder(const std::filesystem::path& path);

}  // namespace fq

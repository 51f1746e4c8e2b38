#pragma once
// Everything observable about a folder tree: each entry's relative path, kind,
// size, modification time and, for files, the SHA-256 of its content. Two
// snapshots compare equal only when nothing was added, removed or changed.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace fq::testsupport {

struct SnapshotEntry {
  std::string kind;  // "file", "folder" or "other"
  uint64_t size = 0;
  int64_t modifiedNs = 0;
  std::string sha256;
  bool operator==(const SnapshotEntry&) const = default;
};

using FolderSnapshot = std::map<std::string, SnapshotEntry>;

FolderSnapshot SnapshotFolder(const std::filesystem::path& folder);

// The SHA-256 of a file's bytes in lowercase hex; empty when unreadable.
std::string Sha256OfFile(const std::filesystem::path& path);

}  // namespace fq::testsupport

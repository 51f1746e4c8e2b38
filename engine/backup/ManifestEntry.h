#pragma once
// One stored file of a backup as its manifest lists it.
#include <cstdint>
#include <string>

namespace fq {

// What a manifest entry names: only a file has stored content.
enum class ManifestEntryKind : uint8_t { File, Folder, Link };

struct ManifestEntry {
  std::string key;     // domain, "-", relative path (UTF-8 bytes as stored)
  std::string fileId;  // 40 lowercase hexadecimal digits
  ManifestEntryKind kind = ManifestEntryKind::File;
  bool operator==(const ManifestEntry&) const = default;
};

}  // namespace fq

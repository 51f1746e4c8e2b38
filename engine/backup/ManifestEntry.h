#pragma once
// One stored file of a backup as its manifest lists it.
#include <cstdint>
#include <functional>
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

// Takes the entries of a manifest one by one as they are read. The entry is
// the reader's and is overwritten by the next one: move from it to keep it.
using ManifestEntrySink = std::function<void(ManifestEntry&)>;

}  // namespace fq

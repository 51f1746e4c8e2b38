#pragma once
// Which manifest a backup folder has, and reading it by the folder's layout:
// Manifest.db for the two-character layout, Manifest.mbdb for the flat one.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "engine/backup/ManifestEntry.h"
#include "engine/backup/StoredFilePath.h"

namespace fq {

// The layout of a backup folder as its manifest tells: Manifest.db means
// two-character folders, Manifest.mbdb flat; none when it has neither.
std::optional<StorageLayout> DetectStorageLayout(const std::filesystem::path& folder);

// The manifest file the folder should hold for `layout`.
std::filesystem::path ManifestPathOf(const std::filesystem::path& folder, StorageLayout layout);

// Reads that manifest into `entries`: 87 when the file is missing, otherwise
// the reader's own result.
int32_t ReadFolderManifest(const std::filesystem::path& folder, StorageLayout layout,
                           std::vector<ManifestEntry>& entries);

// The same, handing each entry to `sink` as it is read.
int32_t ReadFolderManifest(const std::filesystem::path& folder, StorageLayout layout,
                           const ManifestEntrySink& sink);

}  // namespace fq

#pragma once
// Reader of Manifest.mbdb, the binary index of older backups.
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "engine/backup/ManifestEntry.h"

namespace fq {

// Appends every kept record (non-directory, domain and path not empty).
// 0 read; 87 no path or not an mbdb file; 6009 the file cannot be opened.
int32_t ReadManifestMbdb(const std::filesystem::path& path, std::vector<ManifestEntry>& entries);

// The same, handing each kept record to `sink` as it is read.
int32_t ReadManifestMbdb(const std::filesystem::path& path, const ManifestEntrySink& sink);

// The same on bytes already in memory. A record cut short by the end of the
// data ends the parse; the entries read before it are kept.
int32_t ParseManifestMbdb(std::span<const uint8_t> bytes, std::vector<ManifestEntry>& entries);

}  // namespace fq

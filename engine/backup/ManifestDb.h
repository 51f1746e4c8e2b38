#pragma once
// Reader of Manifest.db, the SQLite index of newer backups.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "engine/backup/ManifestEntry.h"

namespace fq {

// Appends one entry per row of Files (directories included). 0 read; the
// SQLite open result when the file cannot be opened; 1006 when the query fails.
int32_t ReadManifestDb(const std::filesystem::path& path, std::vector<ManifestEntry>& entries);

// The same, handing each entry to `sink` as its row is read instead of
// holding them all; the rows before a failure have been handed over.
int32_t ReadManifestDb(const std::filesystem::path& path, const ManifestEntrySink& sink);

}  // namespace fq

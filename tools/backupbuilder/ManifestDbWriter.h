#pragma once
// Writes Manifest.db, the SQLite index of newer backups.
#include <filesystem>
#include <span>
#include <string>

#include "tools/backupbuilder/ManifestRecord.h"

namespace fq::builder {

// Files(fileID TEXT PRIMARY KEY, domain, relativePath, flags, file) with one
// row per record in order, and an empty Properties table. False with a
// message in `error` when the database cannot be written.
bool WriteManifestDb(const std::filesystem::path& path, std::span<const ManifestRecord> records,
                     std::string* error);

}  // namespace fq::builder

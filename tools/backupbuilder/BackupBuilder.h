#pragma once
// Writes a complete backup folder from code, laid out as the desktop sync
// software lays it out: the three property lists, Manifest.db (content in
// two-character subfolders) or Manifest.mbdb (content flat), and the stored
// files. Output is deterministic: the same calls give the same bytes.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/backup/StoredFilePath.h"
#include "tools/backupbuilder/DeviceProfile.h"
#include "tools/backupbuilder/ManifestRecord.h"
#include "tools/backupbuilder/PlistWriter.h"
#include "tools/backupbuilder/SqliteDatabaseBuilder.h"

namespace fq::builder {

class BackupBuilder {
 public:
  explicit BackupBuilder(ManifestFormat format = ManifestFormat::Db) : m_format(format) {}

  ManifestFormat format() const { return m_format; }
  StorageLayout layout() const;
  DeviceProfile& device() { return m_device; }
  const DeviceProfile& device() const { return m_device; }

  // Each add returns the record, so a caller can set modes, properties or
  // absent strings on it. References stay valid until the next add.
  ManifestRecord& addFile(std::string domain, std::string relativePath, std::vector<uint8_t> content);
  ManifestRecord& addFile(std::string domain, std::string relativePath, std::string_view content);
  ManifestRecord& addDirectory(std::string domain, std::string relativePath);
  // Listed in the manifest, but its content is not in the folder.
  ManifestRecord& addMissingFile(std::string domain, std::string relativePath);
  ManifestRecord& addRecord(ManifestRecord record);
  // A file whose content is read from `source` now (real databases of the
  // test corpora). False with a message in `error` when it cannot be read.
  bool addFileFromDisk(std::string domain, std::string relativePath, const std::filesystem::path& source,
                       std::string* error = nullptr);
  // A database built from SQL (see SqliteRecipe). False with a message
  // in `error` when a statement fails; nothing is added then.
  bool addDatabase(std::string domain, std::string relativePath, const SqliteRecipe& recipe,
                   std::string* error = nullptr);

  const std::vector<ManifestRecord>& records() const { return m_records; }

  // Turns a stored file's content into what lands on disk; encrypted-backup
  // fixtures plug their encryption in here. The manifest is not passed through it.
  using ContentTransform =
      std::function<std::vector<uint8_t>(const ManifestRecord&, std::span<const uint8_t>)>;
  void setContentTransform(ContentTransform transform) { m_transform = std::move(transform); }

  // Writes the backup into `folder` (created when missing). False with a
  // message in `error` on the first failure.
  bool write(const std::filesystem::path& folder, std::string* error = nullptr) const;

  // Where the builder puts the content of `record` inside `folder`.
  std::filesystem::path storedPathOf(const std::filesystem::path& folder, const ManifestRecord& record) const;

 private:
  ManifestFormat m_format;
  DeviceProfile m_device;
  std::vector<ManifestRecord> m_records;
  ContentTransform m_transform;
};

}  // namespace fq::builder

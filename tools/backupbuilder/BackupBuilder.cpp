#include "tools/backupbuilder/BackupBuilder.h"

#include <fstream>
#include <system_error>

#include "tools/backupbuilder/ManifestDbWriter.h"
#include "tools/backupbuilder/MbdbWriter.h"

namespace fq::builder {
namespace {

bool WriteBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    if (error) *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

}  // namespace

StorageLayout BackupBuilder::layout() const {
  return m_format == ManifestFormat::Db ? StorageLayout::TwoCharacterFolders : StorageLayout::Flat;
}

ManifestRecord& BackupBuilder::addFile(std::string domain, std::string relativePath,
                                       std::vector<uint8_t> content) {
  ManifestRecord record;
  record.domain = std::move(domain);
  record.relativePath = std::move(relativePath);
  record.content = std::move(content);
  return addRecord(std::move(record));
}

ManifestRecord& BackupBuilder::addFile(std::string domain, std::string relativePath,
                                       std::string_view content) {
  return addFile(std::move(domain), std::move(relativePath),
                 std::vector<uint8_t>(content.begin(), content.end()));
}

ManifestRecord& BackupBuilder::addDirectory(std::string domain, std::string relativePath) {
  ManifestRecord record;
  record.domain = std::move(domain);
  record.relativePath = std::move(relativePath);
  record.mode = kModeDirectory;
  record.flags = kFlagsDirectory;
  return addRecord(std::move(record));
}

ManifestRecord& BackupBuilder::addMissingFile(std::string domain, std::string relativePath) {
  ManifestRecord record;
  record.domain = std::move(domain);
  record.relativePath = std::move(relativePath);
  return addRecord(std::move(record));
}

ManifestRecord& BackupBuilder::addRecord(ManifestRecord record) {
  if (record.inode == 0) record.inode = 1000 + m_records.size();
  m_records.push_back(std::move(record));
  return m_records.back();
}

bool BackupBuilder::addFileFromDisk(std::string domain, std::string relativePath,
                                    const std::filesystem::path& source, std::string* error) {
  std::error_code ec;
  std::vector<uint8_t> bytes;
  bool read = false;
  if (std::filesystem::is_regular_file(source, ec)) {
    const auto size = std::filesystem::file_size(source, ec);
    std::ifstream in(source, std::ios::binary);
    bytes.resize(ec ? 0 : static_cast<size_t>(size));
    read = !ec && in.is_open() &&
           in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  if (!read) {
    if (error) *error = "cannot read " + source.string();
    return false;
  }
  addFile(std::move(domain), std::move(relativePath), std::move(bytes));
  return true;
}

bool BackupBuilder::addDatabase(std::string domain, std::string relativePath, const SqliteRecipe& recipe,
                                std::string* error) {
  std::vector<uint8_t> bytes;
  if (!BuildSqliteDatabase(recipe, bytes, error)) return false;
  addFile(std::move(domain), std::move(relativePath), std::move(bytes));
  return true;
}

std::filesystem::path BackupBuilder::storedPathOf(const std::filesystem::path& folder,
                                                  const ManifestRecord& record) const {
  return StoredFilePath(folder, record.fileId(), layout());
}

bool BackupBuilder::write(const std::filesystem::path& folder, std::string* error) const {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    if (error) *error = "cannot create " + folder.string() + ": " + ec.message();
    return false;
  }
  if (!WritePlists(folder, m_device, m_format, error)) return false;
  if (m_format == ManifestFormat::Db) {
    if (!WriteManifestDb(folder / "Manifest.db", m_records, error)) return false;
  } else if (!WriteBytes(folder / "Manifest.mbdb", EncodeManifestMbdb(m_records), error)) {
    return false;
  }
  for (const auto& record : m_records) {
    if (!record.content) continue;
    const auto path = storedPathOf(folder, record);
    if (path.empty()) continue;  // a deliberately bad file id names no stored file
    std::filesystem::create_directories(path.parent_path(), ec);
    const std::vector<uint8_t> stored = m_transform ? m_transform(record, *record.content) : *record.content;
    if (!WriteBytes(path, stored, error)) return false;
  }
  return true;
}

}  // namespace fq::builder

#include "tools/decrypt/EncryptedBackupWriter.h"

#include <sqlite3.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <system_error>

#include "engine/ResultCodes.h"
#include "engine/backup/FileId.h"
#include "engine/backup/StoredFilePath.h"
#include "tools/decrypt/BackupKeySet.h"
#include "tools/decrypt/ManifestPlist.h"
#include "tools/decrypt/MbFile.h"
#include "tools/decrypt/PlistHandle.h"

namespace fq::decrypt {
namespace {

namespace fs = std::filesystem;

bool writeFile(const fs::path& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

bool writePlist(const fs::path& path, plist_t root, bool binary) {
  char* text = nullptr;
  uint32_t length = 0;
  if (binary) {
    plist_to_bin(root, &text, &length);
  } else {
    plist_to_xml(root, &text, &length);
  }
  const bool ok =
      text != nullptr && writeFile(path, std::span<const uint8_t>(reinterpret_cast<uint8_t*>(text), length));
  if (binary) {
    plist_to_bin_free(text);
  } else {
    plist_to_xml_free(text);
  }
  return ok;
}

void appendBigEndian(Bytes& out, uint64_t v, int width) {
  for (int i = width - 1; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

void appendMbdbString(Bytes& out, std::span<const uint8_t> s, bool absent = false) {
  if (absent) {
    appendBigEndian(out, 0xFFFF, 2);
    return;
  }
  appendBigEndian(out, s.size(), 2);
  out.insert(out.end(), s.begin(), s.end());
}

std::span<const uint8_t> asBytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

class Writer {
 public:
  Writer(const fs::path& folder, std::span<const PlainFile> files, const EncryptedBackupOptions& options)
      : m_folder(folder), m_files(files), m_options(options) {}

  bool write();
  std::string error;

 private:
  bool writeStoredFile(const PlainFile& file, const std::string& id, Bytes& blob);
  bool writeManifestDb();
  bool writeManifestMbdb();
  bool writeManifestPlist();
  bool writeInfoPlist();
  bool fail(const std::string& why) {
    error = why;
    return false;
  }

  fs::path m_folder;
  std::span<const PlainFile> m_files;
  const EncryptedBackupOptions& m_options;
  std::optional<BackupKeySet> m_keys;
  Bytes m_manifestKey;
};

bool Writer::writeStoredFile(const PlainFile& file, const std::string& id, Bytes& blob) {
  const auto sealed = m_keys->seal(file.protectionClass, file.bytes);
  if (!sealed) return fail("no class key " + std::to_string(file.protectionClass));
  blob = sealed->keyBlob;
  const auto layout =
      m_options.era == BackupEra::ManifestMbdb ? StorageLayout::Flat : StorageLayout::TwoCharacterFolders;
  const fs::path path = StoredFilePath(m_folder, id, layout);
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (!writeFile(path, sealed->content)) return fail("cannot write " + path.string());
  return true;
}

bool Writer::writeManifestDb() {
  const fs::path plain = m_folder / "Manifest.db.plain";
  std::error_code ec;
  fs::remove(plain, ec);
  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(plain.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(raw);
    return fail("cannot create the manifest database");
  }
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
  const char* schema =
      "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file "
      "BLOB);"
      "CREATE INDEX FilesDomainIdx ON Files(domain);"
      "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB);";
  if (sqlite3_exec(raw, schema, nullptr, nullptr, nullptr) != SQLITE_OK) return fail("schema failed");
  sqlite3_stmt* insert = nullptr;
  if (sqlite3_prepare_v2(raw, "INSERT OR REPLACE INTO Files VALUES (?,?,?,?,?)", -1, &insert, nullptr) !=
      SQLITE_OK)
    return fail("insert failed");
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(insert, sqlite3_finalize);
  const auto addRow = [&](const std::string& id, const std::string& domain, const std::string& path,
                          int flags, const Bytes& record) {
    sqlite3_reset(insert);
    sqlite3_bind_text(insert, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, domain.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, path.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 4, flags);
    sqlite3_bind_blob(insert, 5, record.data(), static_cast<int>(record.size()), SQLITE_TRANSIENT);
    return sqlite3_step(insert) == SQLITE_DONE;
  };
  sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
  std::map<std::string, bool> folders;
  for (const auto& file : m_files) {
    const std::string id = FileIdOf(file.domain + "-" + file.relativePath);
    MbFile record;
    record.protectionClass = file.protectionClass;
    record.size = file.recordedSize.value_or(file.bytes.size());
    record.relativePath = file.relativePath;
    record.mode = 0100644;
    if (!writeStoredFile(file, id, record.encryptionKey)) return false;
    if (!addRow(id, file.domain, file.relativePath, 1, EncodeMbFile(record))) return fail("insert failed");
    // The folder of each file gets its own row, as the phone lists them.
    const auto slash = file.relativePath.rfind('/');
    if (slash != std::string::npos) folders[file.domain + "-" + file.relativePath.substr(0, slash)] = true;
  }
  for (const auto& [key, unused] : folders) {
    const auto dash = key.find('-');
    MbFile record;
    record.mode = 040755;
    record.relativePath = key.substr(dash + 1);
    if (!addRow(FileIdOf(key), key.substr(0, dash), key.substr(dash + 1), 2, EncodeMbFile(record)))
      return fail("insert failed");
  }
  sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
  statement.reset();
  db.reset();

  Bytes plainBytes;
  if (!ReadSmallFile(plain, plainBytes, 1ull << 30)) return fail("cannot read the manifest database");
  fs::remove(plain, ec);
  if (m_options.era == BackupEra::ManifestDbClear) {
    if (!writeFile(m_folder / "Manifest.db", plainBytes)) return fail("cannot write Manifest.db");
    return true;
  }
  const auto sealed = m_keys->sealManifest(plainBytes);
  if (!sealed) return fail("cannot seal Manifest.db");
  m_manifestKey = sealed->keyBlob;
  if (!writeFile(m_folder / "Manifest.db", sealed->content)) return fail("cannot write Manifest.db");
  return true;
}

bool Writer::writeManifestMbdb() {
  Bytes out = {'m', 'b', 'd', 'b', 5, 0};
  std::map<std::string, bool> folders;
  const auto appendRecord = [&](const std::string& domain, const std::string& path, uint16_t mode,
                                const Bytes& key, uint64_t size, uint8_t protectionClass) {
    appendMbdbString(out, asBytes(domain));
    appendMbdbString(out, asBytes(path));
    appendMbdbString(out, {}, true);  // link target
    appendMbdbString(out, {}, true);  // data hash
    appendMbdbString(out, key, key.empty());
    appendBigEndian(out, mode, 2);
    appendBigEndian(out, 0x1234, 8);  // inode
    appendBigEndian(out, 501, 4);
    appendBigEndian(out, 501, 4);
    for (int t = 0; t < 3; ++t) appendBigEndian(out, 1400000000, 4);
    appendBigEndian(out, size, 8);
    out.push_back(protectionClass);
    out.push_back(0);  // no properties
  };
  for (const auto& file : m_files) {
    const auto slash = file.relativePath.rfind('/');
    if (slash != std::string::npos && !folders[file.domain + "-" + file.relativePath.substr(0, slash)]) {
      folders[file.domain + "-" + file.relativePath.substr(0, slash)] = true;
      appendRecord(file.domain, file.relativePath.substr(0, slash), 040755, {}, 0, 0);
    }
    const std::string id = FileIdOf(file.domain + "-" + file.relativePath);
    Bytes blob;
    if (!writeStoredFile(file, id, blob)) return false;
    appendRecord(file.domain, file.relativePath, 0100644, blob, file.recordedSize.value_or(file.bytes.size()),
                 static_cast<uint8_t>(file.protectionClass));
  }
  if (!writeFile(m_folder / "Manifest.mbdb", out)) return fail("cannot write Manifest.mbdb");
  return true;
}

bool Writer::writeManifestPlist() {
  PlistHandle root(plist_new_dict());
  const Bytes keybag = m_keys->keybagBytes();
  plist_dict_set_item(root.get(), "BackupKeyBag",
                      plist_new_data(reinterpret_cast<const char*>(keybag.data()), keybag.size()));
  plist_dict_set_item(root.get(), "IsEncrypted", plist_new_bool(1));
  plist_dict_set_item(root.get(), "Version",
                      plist_new_string(m_options.era == BackupEra::ManifestMbdb ? "9.1" : "10.0"));
  plist_dict_set_item(root.get(), "WasPasscodeSet", plist_new_bool(0));
  if (!m_manifestKey.empty())
    plist_dict_set_item(
        root.get(), "ManifestKey",
        plist_new_data(reinterpret_cast<const char*>(m_manifestKey.data()), m_manifestKey.size()));
  plist_t lockdown = plist_new_dict();
  plist_dict_set_item(lockdown, "ProductVersion", plist_new_string(m_options.productVersion.c_str()));
  plist_dict_set_item(lockdown, "DeviceName", plist_new_string(m_options.deviceName.c_str()));
  plist_dict_set_item(lockdown, "SerialNumber", plist_new_string(m_options.serialNumber.c_str()));
  plist_dict_set_item(root.get(), "Lockdown", lockdown);
  if (!writePlist(m_folder / "Manifest.plist", root.get(), true)) return fail("cannot write Manifest.plist");
  return true;
}

bool Writer::writeInfoPlist() {
  // XML with each value on the line after its key, as desktop sync writes it.
  PlistHandle root(plist_new_dict());
  plist_dict_set_item(root.get(), "Device Name", plist_new_string(m_options.deviceName.c_str()));
  plist_dict_set_item(root.get(), "Display Name", plist_new_string(m_options.deviceName.c_str()));
  plist_dict_set_item(root.get(), "Last Backup Date", plist_new_date(600000000, 0));
  plist_dict_set_item(root.get(), "Product Version", plist_new_string(m_options.productVersion.c_str()));
  plist_dict_set_item(root.get(), "Serial Number", plist_new_string(m_options.serialNumber.c_str()));
  if (!writePlist(m_folder / "Info.plist", root.get(), false)) return fail("cannot write Info.plist");
  return true;
}

bool Writer::write() {
  std::error_code ec;
  fs::create_directories(m_folder, ec);
  if (ec) return fail("cannot create " + m_folder.string());
  m_keys = BackupKeySet::Create(m_options.password, m_options.era == BackupEra::ManifestDb,
                                m_options.iterations, m_options.dpIterations);
  if (!m_keys) return fail("key derivation failed (iteration counts out of range?)");
  const bool indexed = m_options.era == BackupEra::ManifestMbdb ? writeManifestMbdb() : writeManifestDb();
  return indexed && writeManifestPlist() && writeInfoPlist();
}

}  // namespace

int32_t WriteEncryptedBackup(const fs::path& folder, std::span<const PlainFile> files,
                             const EncryptedBackupOptions& options, std::string* error) {
  Writer writer(folder, files, options);
  if (writer.write()) return kOk;
  if (error != nullptr) *error = writer.error;
  return kInvalid;
}

}  // namespace fq::decrypt

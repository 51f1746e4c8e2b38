#include "tools/backupbuilder/ManifestDbWriter.h"

#include <sqlite3.h>

#include <memory>
#include <system_error>

namespace fq::builder {
namespace {

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};

void BindOptionalText(sqlite3_stmt* stmt, int index, const std::optional<std::string>& text) {
  if (text) {
    sqlite3_bind_text(stmt, index, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_null(stmt, index);
  }
}

bool Fail(sqlite3* db, std::string* error) {
  if (error) *error = std::string("Manifest.db: ") + sqlite3_errmsg(db);
  return false;
}

}  // namespace

bool WriteManifestDb(const std::filesystem::path& path, std::span<const ManifestRecord> records,
                     std::string* error) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::unique_ptr<sqlite3, DatabaseCloser> db(raw);
  if (rc != SQLITE_OK) {
    if (error) *error = "cannot create " + path.string();
    return false;
  }
  if (sqlite3_exec(
          db.get(),
          "PRAGMA page_size=4096; PRAGMA journal_mode=DELETE; BEGIN;"
          "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER,"
          " file BLOB);"
          "CREATE INDEX FilesDomainIdx ON Files(domain);"
          "CREATE INDEX FilesRelativePathIdx ON Files(relativePath);"
          "CREATE INDEX FilesFlagsIdx ON Files(flags);"
          "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB);",
          nullptr, nullptr, nullptr) != SQLITE_OK) {
    return Fail(db.get(), error);
  }
  sqlite3_stmt* rawStmt = nullptr;
  if (sqlite3_prepare_v2(db.get(), "INSERT INTO Files VALUES (?, ?, ?, ?, NULL)", -1, &rawStmt, nullptr) !=
      SQLITE_OK) {
    return Fail(db.get(), error);
  }
  std::unique_ptr<sqlite3_stmt, StatementFinalizer> insert(rawStmt);
  for (const auto& record : records) {
    const std::string id = record.fileId();
    sqlite3_bind_text(insert.get(), 1, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
    BindOptionalText(insert.get(), 2, record.domain);
    BindOptionalText(insert.get(), 3, record.relativePath);
    sqlite3_bind_int(insert.get(), 4, record.flags);
    if (sqlite3_step(insert.get()) != SQLITE_DONE) return Fail(db.get(), error);
    sqlite3_reset(insert.get());
  }
  insert.reset();
  if (sqlite3_exec(db.get(), "COMMIT;", nullptr, nullptr, nullptr) != SQLITE_OK) return Fail(db.get(), error);
  return true;
}

}  // namespace fq::builder

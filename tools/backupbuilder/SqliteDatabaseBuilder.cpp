#include "tools/backupbuilder/SqliteDatabaseBuilder.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

namespace fq::builder {
namespace {

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};

bool Exec(sqlite3* db, const std::string& sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  if (error) *error = std::string(message ? message : "unknown error") + " in: " + sql.substr(0, 200);
  sqlite3_free(message);
  return false;
}

bool RunAll(sqlite3* db, const std::vector<std::string>& statements, std::string* error) {
  if (statements.empty()) return true;
  if (!Exec(db, "BEGIN", error)) return false;
  for (const auto& sql : statements) {
    if (!Exec(db, sql, error)) {
      Exec(db, "ROLLBACK", nullptr);
      return false;
    }
  }
  return Exec(db, "COMMIT", error);
}

// A folder of our own under the system's temporary folder, removed on scope exit.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fq-sqlite-XXXXXX").string();
    if (mkdtemp(pattern.data())) m_path = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
  }
  const std::filesystem::path& path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

}  // namespace

bool WriteSqliteDatabase(const std::filesystem::path& path, const SqliteRecipe& recipe, std::string* error) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::unique_ptr<sqlite3, DatabaseCloser> db(raw);
  if (rc != SQLITE_OK) {
    if (error) *error = "cannot create " + path.string() + ": " + sqlite3_errstr(rc);
    return false;
  }
  // The page size only takes effect before the first table is written.
  const std::string setup =
      "PRAGMA page_size=" + std::to_string(recipe.pageSize) +
      "; PRAGMA auto_vacuum=NONE; PRAGMA secure_delete=OFF; PRAGMA journal_mode=DELETE;";
  if (!Exec(db.get(), setup, error) || !RunAll(db.get(), recipe.statements, error) ||
      !RunAll(db.get(), recipe.deletions, error)) {
    return false;
  }
  // Switching to WAL at the end keeps the deleted rows where they lie in the
  // main file; closing checkpoints and removes the -wal file.
  return !recipe.walMode || Exec(db.get(), "PRAGMA journal_mode=WAL;", error);
}

bool BuildSqliteDatabase(const SqliteRecipe& recipe, std::vector<uint8_t>& bytes, std::string* error) {
  ScratchFolder scratch;
  if (scratch.path().empty()) {
    if (error) *error = "cannot create a temporary folder";
    return false;
  }
  const auto path = scratch.path() / "database.sqlite";
  if (!WriteSqliteDatabase(path, recipe, error)) return false;
  std::ifstream in(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace fq::builder

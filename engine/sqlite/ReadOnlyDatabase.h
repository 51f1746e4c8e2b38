#pragma once
// An SQLite library connection that can never change the file it reads: the
// database is opened read-only and immutable, so no journal, WAL or shm file
// appears beside it (backup folders are only ever read).
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string>

namespace fq {

class ReadOnlyDatabase {
 public:
  // Opens `path`; check ok() and openResult() afterwards.
  explicit ReadOnlyDatabase(const std::filesystem::path& path);

  bool ok() const { return m_db != nullptr && m_openResult == SQLITE_OK; }
  int openResult() const { return m_openResult; }
  sqlite3* handle() const { return m_db.get(); }

  // Runs one statement over all its rows, as sqlite3_exec with a callback
  // would (the same errors, a damaged page included), without turning each
  // value into text: SQLITE_OK or the library's error. `columns` takes the
  // result's column count when at least one row came, else stays as it was.
  int StepThrough(const char* sql, int* columns = nullptr) const;

  // The file: URI for `path` with immutable=1, percent-encoding what a URI needs.
  static std::string ImmutableUri(const std::filesystem::path& path);

 private:
  struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
  };
  std::unique_ptr<sqlite3, Closer> m_db;
  int m_openResult = SQLITE_CANTOPEN;
};

}  // namespace fq

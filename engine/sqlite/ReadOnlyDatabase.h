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

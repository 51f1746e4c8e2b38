#pragma once
// Databases written by the SQLite library for the reader's tests: a fresh file
// in the test's temporary folder, deleted space left as it was (no secure
// delete), with helpers to run SQL and read back the library's own view.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/sqlite/ColumnValues.h"

namespace fq::test {

class TestDatabase {
 public:
  // `encoding` is the text encoding of the new file ("UTF-8", "UTF-16le", "UTF-16be").
  TestDatabase(const std::string& name, int pageSize = 4096, bool autoVacuum = false,
               const std::string& encoding = "UTF-8");
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  void exec(const std::string& sql);
  // Every row of `sql` as typed values (the same form the reader produces).
  std::vector<std::vector<ColumnValue>> query(const std::string& sql);
  // Closes the connection so the file is complete on disk.
  void close();
  const std::filesystem::path& path() const { return m_path; }
  sqlite3* handle() const { return m_db; }

 private:
  std::filesystem::path m_path;
  sqlite3* m_db = nullptr;
};

std::string describe(const std::vector<ColumnValue>& row);

// A CREATE TABLE statement of `count` columns named c0.. with the given
// declared types ("" for none) at given positions; columns not listed are
// INTEGER. Column 0 is `firstColumn` (e.g. "INTEGER PRIMARY KEY").
std::string createTable(const std::string& table, int count, const std::string& firstColumn,
                        const std::vector<std::pair<int, std::string>>& types = {});

}  // namespace fq::test

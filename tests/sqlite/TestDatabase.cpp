#include "tests/sqlite/TestDatabase.h"

#include <unistd.h>

#include "engine/sqlite/ColumnValueText.h"
#include "engine/sqlite/LibraryColumnValue.h"

namespace fq::test {

TestDatabase::TestDatabase(const std::string& name, int pageSize, bool autoVacuum,
                           const std::string& encoding) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string unique = name;
  if (info != nullptr) unique = std::string(info->test_suite_name()) + "_" + info->name() + "_" + name;
  for (char& c : unique) {
    if (c == '/' || c == ' ') c = '_';
  }
  // The process id keeps test programs run at once (other build trees on the
  // same machine) off each other's files.
  m_path = std::filesystem::path(::testing::TempDir()) / (unique + "_" + std::to_string(getpid()) + ".db");
  std::filesystem::remove(m_path);
  if (sqlite3_open(m_path.c_str(), &m_db) != SQLITE_OK) ADD_FAILURE() << "cannot create " << m_path;
  // The encoding can only be chosen before the file's first page is written.
  exec("PRAGMA encoding='" + encoding + "'");
  exec("PRAGMA secure_delete=OFF; PRAGMA page_size=" + std::to_string(pageSize) +
       "; PRAGMA auto_vacuum=" + (autoVacuum ? "FULL" : "NONE") + "; PRAGMA journal_mode=DELETE; VACUUM;");
}

TestDatabase::~TestDatabase() {
  close();
  std::error_code ec;
  std::filesystem::remove(m_path, ec);
}

void TestDatabase::close() {
  if (m_db != nullptr) sqlite3_close(m_db);
  m_db = nullptr;
}

void TestDatabase::exec(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    ADD_FAILURE() << "SQL failed: " << (error ? error : "?") << "\n" << sql.substr(0, 300);
  }
  sqlite3_free(error);
}

std::vector<std::vector<ColumnValue>> TestDatabase::query(const std::string& sql) {
  std::vector<std::vector<ColumnValue>> rows;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "prepare failed: " << sqlite3_errmsg(m_db);
    return rows;
  }
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    std::vector<ColumnValue> row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      ColumnValue v = LibraryColumnValue(stmt, i);
      row.push_back(std::move(v));
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  return rows;
}

std::string describe(const std::vector<ColumnValue>& row) {
  std::string s = "(";
  for (size_t i = 0; i < row.size(); ++i) s += (i ? ", " : "") + ColumnValueText(row[i]);
  return s + ")";
}

std::string createTable(const std::string& table, int count, const std::string& firstColumn,
                        const std::vector<std::pair<int, std::string>>& types) {
  std::string sql = "CREATE TABLE " + table + " (";
  for (int i = 0; i < count; ++i) {
    std::string type = i == 0 ? firstColumn : "INTEGER";
    for (const auto& [at, t] : types) {
      if (at == i) type = t;
    }
    sql += (i ? ", c" : "c") + std::to_string(i) + " " + type;
  }
  return sql + ")";
}

}  // namespace fq::test

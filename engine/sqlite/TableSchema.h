#pragma once
// The tables of any SQLite file as its schema declares them, for reading
// tables the system has no decoder for: the carving column count is the
// number of columns the CREATE TABLE statement declares.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sqlite/SqliteFileReader.h"

namespace fq {

struct TableSchema {
  std::string name;
  std::string sql;
  int32_t columnCount = 0;   // declared columns; 0 when the statement cannot be read
  int32_t rowIdColumn = -1;  // the INTEGER PRIMARY KEY column, stored as NULL in the record
};

// Declared columns of a CREATE TABLE statement (table constraints are not columns).
TableSchema ParseCreateTable(std::string_view sql);

// Every ordinary table of the live schema, in schema order.
std::vector<TableSchema> ListTables(const SqliteFileReader& reader);

}  // namespace fq

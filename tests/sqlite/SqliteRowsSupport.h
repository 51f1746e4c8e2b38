#pragma once
// Reads a table with the reader's generic row visitor and shapes the rows as
// the SQLite library's "SELECT rowid, *" shows them, for comparisons.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/sqlite/ColumnValues.h"
#include "engine/sqlite/GenericRows.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableSchema.h"

namespace fq::test {

struct ReadRow {
  int32_t deleted = 0;
  RowSource source = RowSource::BTree;
  int32_t firstColumn = 0;
  std::vector<ColumnValue> values;  // live: rowid then every column; deleted: the columns found
};

inline TableSchema schemaOf(const SqliteFileReader& reader, const std::string& table) {
  for (TableSchema& s : ListTables(reader)) {
    if (s.name == table) return s;
  }
  return {};
}

inline std::vector<ReadRow> readRows(SqliteFileReader& reader, const std::string& table,
                                     int32_t* result = nullptr) {
  const TableSchema schema = schemaOf(reader, table);
  std::vector<ReadRow> rows;
  const int32_t r = ReadGenericRows(reader, schema, [&](const GenericRow& row) {
    ReadRow out;
    out.deleted = row.deleted;
    out.source = row.source;
    out.firstColumn = row.firstColumn;
    if (row.source == RowSource::BTree) {
      ColumnValue id;
      id.kind = ColumnValue::Kind::Integer;
      id.integer = row.rowId;
      out.values.push_back(id);
    }
    out.values.insert(out.values.end(), row.values.begin(), row.values.end());
    rows.push_back(std::move(out));
  });
  if (result != nullptr) *result = r;
  return rows;
}

inline bool lessByValues(const std::vector<ColumnValue>& a, const std::vector<ColumnValue>& b) {
  if (a.empty() || b.empty()) return a.size() < b.size();
  return a[0].integer < b[0].integer;
}

}  // namespace fq::test

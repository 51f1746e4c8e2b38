#pragma once
// Rows of any table of any SQLite file, for tables the system has no decoder
// for: live rows as the library's SELECT * gives them (the row id alias
// filled in, texts in UTF-8 whatever the file's encoding, WITHOUT ROWID
// columns in declared order; an fts3/4/5 or rtree virtual table's rows read
// from its shadow tables, other virtual tables none), deleted rows only when
// they fit the table's declared columns (a virtual table has none of its
// own). A carved row whose first serial type was overwritten gets that
// column back when the free block's size fixes its length; otherwise the
// column is reported missing.
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/sqlite/ColumnValues.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableRow.h"
#include "engine/sqlite/TableSchema.h"

namespace fq {

struct GenericRow {
  int32_t deleted = 0;
  RowSource source = RowSource::BTree;
  uint32_t page = 0;                // zero-based page index
  uint32_t offset = 0;              // cell offset, or the first serial type of a carved row
  int64_t rowId = 0;                // 0 when carved
  int32_t firstColumn = 0;          // 1 when the first column's value is lost
  std::vector<ColumnValue> values;  // values[i] is column firstColumn + i
};

using GenericRowCallback = std::function<void(const GenericRow&)>;

// 0, or the page-read error that ended the free-page step.
int32_t ReadGenericRows(SqliteFileReader& reader, const TableSchema& schema, const GenericRowCallback& visit);

}  // namespace fq

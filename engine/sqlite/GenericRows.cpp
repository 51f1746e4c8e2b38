#include "engine/sqlite/GenericRows.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "engine/platform/Text.h"
#include "engine/sqlite/RecordFormat.h"
#include "engine/sqlite/RowParser.h"
#include "engine/sqlite/TableReader.h"

namespace fq {

namespace {

GenericRow toGeneric(const TableRow& row, const TableSchema& schema) {
  GenericRow out;
  out.deleted = row.deleted;
  out.source = row.source;
  out.page = row.page;
  out.offset = row.offset;
  out.rowId = row.rowId;
  out.firstColumn = row.firstColumn;
  for (size_t i = 0; i < row.columns.size(); ++i) {
    ColumnValue v = columnValue(row.columns[i]);
    const auto c = static_cast<int32_t>(i) + row.firstColumn;
    // The row id alias is stored as NULL; the cell's row id is its value.
    const bool rowIdKnown = !row.carved || row.rowId != 0;
    if (rowIdKnown && c == schema.rowIdColumn && v.kind == ColumnValue::Kind::Null) {
      v.kind = ColumnValue::Kind::Integer;
      v.integer = row.rowId;
    }
    out.values.push_back(std::move(v));
  }
  return out;
}

}  // namespace

int32_t ReadGenericRows(SqliteFileReader& reader, const TableSchema& schema,
                        const GenericRowCallback& visit) {
  // Deleted rows come through the table reader's acceptance gate; rows still
  // listed on a free page are checked against the declaration here.
  return ReadTableRows(reader, schema.name, schema.columnCount, [&](const TableRow& row) {
    if (row.deleted != 0 && !row.carved && !IsPlausibleRow(row, schema)) return;
    visit(toGeneric(row, schema));
  });
}

}  // namespace fq

#include "engine/sqlite/GenericRows.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/sqlite/TableReader.h"
#include "engine/sqlite/TextEncoding.h"
#include "engine/sqlite/VirtualTableRows.h"
#include "engine/sqlite/WithoutRowidRows.h"

namespace fq {

namespace {

// Values as SELECT * gives them: a REAL column holds reals even where the
// record stores an integer (as it does for whole numbers, to save space), and
// columns a live record lacks, added after it was written, take their
// default. Carved rows get the same reading so they compare with live ones.
void readAsTheLibraryDoes(GenericRow& row, const TableSchema& schema) {
  if (row.deleted == 0 && row.firstColumn == 0) {
    for (size_t c = row.values.size(); c < static_cast<size_t>(std::max(schema.columnCount, 0)); ++c) {
      row.values.push_back(c < schema.defaults.size() ? schema.defaults[c] : ColumnValue{});
    }
  }
  for (size_t i = 0; i < row.values.size(); ++i) {
    const size_t c = i + static_cast<size_t>(row.firstColumn);
    ColumnValue& v = row.values[i];
    if (c < schema.affinities.size() && schema.affinities[c] == Affinity::Real &&
        v.kind == ColumnValue::Kind::Integer) {
      v.kind = ColumnValue::Kind::Real;
      v.real = static_cast<double>(v.integer);
      v.integer = 0;
    }
  }
}

GenericRow toGeneric(const TableRow& row, const TableSchema& schema, TextEncoding encoding) {
  GenericRow out;
  out.deleted = row.deleted;
  out.source = row.source;
  out.page = row.page;
  out.offset = row.offset;
  out.rowId = row.rowId;
  out.firstColumn = row.firstColumn;
  for (size_t i = 0; i < row.columns.size(); ++i) {
    ColumnValue v = columnValue(row.columns[i]);
    if (v.kind == ColumnValue::Kind::Text && encoding != TextEncoding::Utf8) {
      v.bytes = textToUtf8(row.columns[i].bytes, encoding);
    }
    const auto c = static_cast<int32_t>(i) + row.firstColumn;
    // The row id alias is stored as NULL; the cell's row id is its value.
    const bool rowIdKnown = !row.carved || row.rowId != 0;
    if (rowIdKnown && c == schema.rowIdColumn && v.kind == ColumnValue::Kind::Null) {
      v.kind = ColumnValue::Kind::Integer;
      v.integer = row.rowId;
    }
    out.values.push_back(std::move(v));
  }
  readAsTheLibraryDoes(out, schema);
  return out;
}

}  // namespace

int32_t ReadGenericRows(SqliteFileReader& reader, const TableSchema& schema,
                        const GenericRowCallback& visit) {
  const TextEncoding encoding = reader.textEncoding();
  // A virtual table's rows are its module's, read from the tables that store
  // them (which are also listed, and read, on their own).
  if (schema.isVirtual) return ReadVirtualTableRows(reader, schema, visit);
  if (schema.withoutRowId) {
    return ReadWithoutRowidRows(reader, schema,
                                [&](const TableRow& row) { visit(toGeneric(row, schema, encoding)); });
  }
  // Deleted rows come through the table reader's acceptance gate; rows still
  // listed on a free page are checked against the declaration here.
  return ReadTableRows(reader, schema.name, schema.columnCount, [&](const TableRow& row) {
    if (row.deleted != 0 && !row.carved && !IsPlausibleRow(row, schema)) return;
    visit(toGeneric(row, schema, encoding));
  });
}

}  // namespace fq

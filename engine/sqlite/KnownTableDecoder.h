#pragma once
// Base of the row decoders of the known tables: columns are found by name in
// the table's own CREATE TABLE statement, read once before the table is; the
// fixed positions of the usual layout stand in only when the statement cannot
// be read. Carving takes the declared column count the same way.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/platform/Text.h"
#include "engine/sqlite/ColumnValues.h"
#include "engine/sqlite/EarlierVersions.h"
#include "engine/sqlite/ExpectedColumnCount.h"
#include "engine/sqlite/TableReader.h"
#include "engine/sqlite/TableSchema.h"

namespace fq {

class KnownTableDecoder : public TableRowVisitor {
 public:
  explicit KnownTableDecoder(std::string tableName) : m_tableName(std::move(tableName)) {}
  const std::string& tableName() const { return m_tableName; }

  // Reads the table's declaration and lets the decoder place its columns. A
  // declaration that names none of them (unreadable, or a table of another
  // design under the same name) counts as no declaration.
  void readSchema(const SqliteFileReader& reader) {
    m_schema = FindTable(reader, m_tableName);
    m_namedAny = false;
    mapColumns();
    if (m_schema.columnCount > 0 && !m_namedAny) {
      m_schema = TableSchema{};
      mapColumns();
    }
  }

  CarvingRules carvingRules(SqliteFileReader& reader) override {
    int32_t n = ExpectedColumnCount(reader, m_tableName);
    // A table declared with more or fewer columns than the usual layout is
    // carved with the count SQLite writes into each of its records.
    if (m_schema.columnCount > 0 && m_schema.columnCount != n) {
      n = m_schema.columnCount;
      reader.setExpectedColumnCount(n);
    }
    return CarvingRules{n};
  }

 protected:
  // Places the decoder's columns once the declaration is known.
  virtual void mapColumns() {}
  // Position of column `name`: from the declaration when it could be read
  // (-1, no column, when the table lacks it), else `fixed`.
  int32_t columnIndex(std::string_view name, int32_t fixed) {
    return placed(m_schema.columnIndex(name), fixed);
  }
  // The same for a position the decoder found in the declaration itself.
  int32_t placed(int32_t declared, int32_t fixed) {
    if (m_schema.columnCount == 0) return fixed;
    if (declared >= 0) m_namedAny = true;
    return declared;
  }
  const TableSchema& schema() const { return m_schema; }

  // Position of the column that identifies a row across its versions (see
  // EarlierVersions.h); -1 when the table has none.
  int32_t identityColumn() { return columnIndex(IdentityColumnOf(m_tableName), -1); }

  // Whether `row` is an earlier version of a live row: found in free space
  // with the identity text (column `identity`) of a row that still lives.
  // The phone rewrites a row when it changes (a message marked read) and the
  // old copy stays behind; it is not a deletion.
  bool isEarlierVersion(const TableRow& row, int32_t identity) {
    const RowColumn* column = row.column(identity);
    if (!isTextColumn(column)) return false;
    return m_earlierVersions.check(columnText(column), row.deleted != 0);
  }

 private:
  std::string m_tableName;
  TableSchema m_schema;
  bool m_namedAny = false;
  EarlierVersions m_earlierVersions;
};

// Reads a text column into `out`: false (reject the row) when the column is
// text that is not accepted UTF-8; a column of another type leaves `out` empty.
inline bool readText(const RowColumn* column, std::string& out) {
  out.clear();
  if (!isTextColumn(column)) return true;
  const std::string_view text = columnText(column);
  if (!IsAcceptedText(text)) return false;
  out.assign(text);
  return true;
}

inline bool hasControlCharacter(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) return true;
  }
  return false;
}

template <typename Decoder, typename Record>
int32_t RunDecoder(SqliteFileReader& reader, std::vector<Record>& out) {
  Decoder decoder(out);
  decoder.readSchema(reader);
  return ReadTable(reader, decoder.tableName(), decoder);
}

}  // namespace fq

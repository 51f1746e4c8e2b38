#pragma once
// Base of the row decoders of the known tables: the carving rules come from
// the expected column count of the table name.
#include <string>

#include "engine/platform/Text.h"
#include "engine/sqlite/ColumnValues.h"
#include "engine/sqlite/ExpectedColumnCount.h"
#include "engine/sqlite/TableReader.h"

namespace fq {

class KnownTableDecoder : public TableRowVisitor {
 public:
  explicit KnownTableDecoder(std::string tableName) : m_tableName(std::move(tableName)) {}
  const std::string& tableName() const { return m_tableName; }

  CarvingRules carvingRules(SqliteFileReader& reader) override {
    const int32_t n = ExpectedColumnCount(reader, m_tableName);
    // The call table's own header length stands in for its column count
    // where header lengths are compared.
    const int32_t compare = m_tableName == "call" ? reader.callHeaderSerialBytes() : n;
    return CarvingRules{n, compare, m_tableName == "message"};
  }

 private:
  std::string m_tableName;
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
  return ReadTable(reader, decoder.tableName(), decoder);
}

}  // namespace fq

#pragma once
// Typed reads of one column of a decoded row, as the table decoders use them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/sqlite/TableRow.h"

namespace fq {

// An integer column: serial types 1 to 6 (signed big-endian) and the
// constants 0 and 1 (types 8 and 9). Empty for anything else or no column.
std::optional<int64_t> columnInteger(const RowColumn* column);
// An IEEE-754 big-endian double (serial type 7).
std::optional<double> columnReal(const RowColumn* column);
bool isTextColumn(const RowColumn* column);
// The bytes of a text column (empty for any other column).
std::string_view columnText(const RowColumn* column);
// True when `column` holds the stored constant 0 (type 8) or 1 (type 9).
inline bool isConstant(const RowColumn* column, int value) {
  return column != nullptr && column->serialType == 8 + static_cast<uint64_t>(value);
}
// A column as a typed value, as a generic dump shows it.
struct ColumnValue {
  enum class Kind { Null, Integer, Real, Text, Blob };
  Kind kind = Kind::Null;
  int64_t integer = 0;
  double real = 0;
  std::string bytes;  // text or blob content
  bool operator==(const ColumnValue&) const = default;
};
ColumnValue columnValue(const RowColumn& column);

// The low 32 bits of a row id or key, as the records hold them.
inline int32_t low32(int64_t v) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

}  // namespace fq

#include "engine/sqlite/ColumnValues.h"

#include <bit>
#include <cstring>

namespace fq {

std::optional<int64_t> columnInteger(const RowColumn* column) {
  if (column == nullptr) return std::nullopt;
  const uint64_t t = column->serialType;
  if (t == 8 || t == 9) return static_cast<int64_t>(t - 8);
  if (t < 1 || t > 6 || column->bytes.empty()) return std::nullopt;
  uint64_t v = (column->bytes[0] & 0x80) ? ~uint64_t{0} : 0;
  for (const uint8_t b : column->bytes) v = (v << 8) | b;
  return static_cast<int64_t>(v);
}

std::optional<double> columnReal(const RowColumn* column) {
  if (column == nullptr || column->serialType != 7 || column->bytes.size() != 8) return std::nullopt;
  uint64_t bits = 0;
  for (const uint8_t b : column->bytes) bits = (bits << 8) | b;
  return std::bit_cast<double>(bits);
}

bool isTextColumn(const RowColumn* column) {
  return column != nullptr && column->serialType >= 13 && column->serialType % 2 == 1;
}

std::string_view columnText(const RowColumn* column) {
  if (!isTextColumn(column)) return {};
  return std::string_view(reinterpret_cast<const char*>(column->bytes.data()), column->bytes.size());
}

ColumnValue columnValue(const RowColumn& column) {
  ColumnValue v;
  if (const auto i = columnInteger(&column)) {
    v.kind = ColumnValue::Kind::Integer;
    v.integer = *i;
  } else if (const auto r = columnReal(&column)) {
    v.kind = ColumnValue::Kind::Real;
    v.real = *r;
  } else if (column.serialType >= 12) {
    v.kind = column.serialType % 2 == 1 ? ColumnValue::Kind::Text : ColumnValue::Kind::Blob;
    v.bytes.assign(reinterpret_cast<const char*>(column.bytes.data()), column.bytes.size());
  }
  return v;
}

}  // namespace fq

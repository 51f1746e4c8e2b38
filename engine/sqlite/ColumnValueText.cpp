#include "engine/sqlite/ColumnValueText.h"

#include <cstdio>

namespace fq {

std::string HexText(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

std::string ColumnValueText(const ColumnValue& value) {
  switch (value.kind) {
    case ColumnValue::Kind::Null:
      return "NULL";
    case ColumnValue::Kind::Integer:
      return std::to_string(value.integer);
    case ColumnValue::Kind::Real: {
      // 17 significant digits read back as the same double.
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", value.real);
      return buf;
    }
    case ColumnValue::Kind::Text:
      return "'" + value.bytes + "'";
    case ColumnValue::Kind::Blob:
      return "x'" + HexText(value.bytes) + "'";
  }
  return "";
}

}  // namespace fq

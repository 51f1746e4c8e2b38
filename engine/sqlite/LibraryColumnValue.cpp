#include "engine/sqlite/LibraryColumnValue.h"

namespace fq {

ColumnValue LibraryColumnValue(sqlite3_stmt* statement, int column) {
  ColumnValue v;
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
      v.kind = ColumnValue::Kind::Integer;
      v.integer = sqlite3_column_int64(statement, column);
      break;
    case SQLITE_FLOAT:
      v.kind = ColumnValue::Kind::Real;
      v.real = sqlite3_column_double(statement, column);
      break;
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const bool text = sqlite3_column_type(statement, column) == SQLITE_TEXT;
      v.kind = text ? ColumnValue::Kind::Text : ColumnValue::Kind::Blob;
      // The pointer first, then the size, as the library asks.
      const void* data = text ? static_cast<const void*>(sqlite3_column_text(statement, column))
                              : sqlite3_column_blob(statement, column);
      const int size = sqlite3_column_bytes(statement, column);
      if (data != nullptr && size > 0)
        v.bytes.assign(static_cast<const char*>(data), static_cast<size_t>(size));
      break;
    }
    default:
      break;
  }
  return v;
}

}  // namespace fq

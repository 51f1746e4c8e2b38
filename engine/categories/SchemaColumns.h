#pragma once
// Finding a table and its columns by name in a database's own schema, for
// tables whose column set differs between phone versions.
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/platform/Text.h"
#include "engine/sqlite/TableSchema.h"

namespace fq {

// The table named `name` (case ignored), or nullptr.
inline const TableSchema* FindTableSchema(const std::vector<TableSchema>& tables, std::string_view name) {
  for (const TableSchema& table : tables) {
    if (CompareNoCase(table.name, name) == 0) return &table;
  }
  return nullptr;
}

// The position of column `name` (case ignored), or -1 when the table has none.
inline int32_t SchemaColumnIndex(const TableSchema& table, std::string_view name) {
  for (size_t i = 0; i < table.columnNames.size(); ++i) {
    if (CompareNoCase(table.columnNames[i], name) == 0) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace fq

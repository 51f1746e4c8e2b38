#pragma once
// The column count carving assumes for each known table: the main test of
// whether a run of free bytes is a record of that table.
#include <cstdint>
#include <string_view>

#include "engine/sqlite/SqliteFileReader.h"

namespace fq {

// Looks `tableName` up (case-insensitively), stores the result as the reader's
// expected column count and returns it; 0 for a table the system does not know.
int32_t ExpectedColumnCount(SqliteFileReader& reader, std::string_view tableName);

}  // namespace fq

#pragma once
// A column of an SQLite library result row as the page reader's typed value,
// so rows read both ways compare directly (tests, the corpus scorer).
#include <sqlite3.h>

#include "engine/sqlite/ColumnValues.h"

namespace fq {

ColumnValue LibraryColumnValue(sqlite3_stmt* statement, int column);

}  // namespace fq

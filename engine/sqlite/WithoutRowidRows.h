#pragma once
// Live rows of a WITHOUT ROWID table. Its rows are the entries of an index
// b-tree (interior entries are rows too), each record holding the primary key
// columns first and the other columns after them; the rows are handed on with
// their columns back in declared order.
#include <cstdint>

#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableReader.h"
#include "engine/sqlite/TableSchema.h"

namespace fq {

// Where each declared column sits in a stored record of the table: the
// primary key columns in key order, then the rest in declared order.
std::vector<int32_t> withoutRowidStorageOrder(const TableSchema& schema);

// Walks the tree rooted at schema.rootPage in key order: 0, or the page-read
// error that ended the walk. A page that is not part of an index b-tree, or
// met twice, ends its branch.
int32_t ReadWithoutRowidRows(const SqliteFileReader& reader, const TableSchema& schema,
                             const TableRowCallback& visit);

}  // namespace fq

#pragma once
// The rows of a virtual table as the library's SELECT * gives them, read from
// the ordinary tables its module keeps them in: <name>_content for fts3, fts4
// and fts5 (or the table content= names), the node blobs of <name>_node (and
// the auxiliary columns of <name>_rowid) for an rtree. A module the reader
// does not know, a contentless table or a missing shadow table gives none.
#include <cstdint>

#include "engine/sqlite/GenericRows.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableSchema.h"

namespace fq {

// Live rows only: a virtual table's deleted rows are its shadow tables'. 0,
// or the page-read error that ended reading a shadow table.
int32_t ReadVirtualTableRows(SqliteFileReader& reader, const TableSchema& schema,
                             const GenericRowCallback& visit);

}  // namespace fq

#pragma once
// The table-reading sequence every table reader follows: live rows of the
// table's b-tree, deleted records found in the free space of its leaf pages,
// then the free-list pages (cells still listed on pages attributed to the
// table, and the free space of every free page), each row handed to a
// visitor. Copies of live rows left behind by b-tree rebalancing, and second
// copies of a deleted row, are not handed on.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/sqlite/RowParser.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableRow.h"

namespace fq {

// What a table reader tells the sequence about its table.
struct CarvingRules {
  int32_t columnCount = 0;  // the table's column count where its declaration cannot be read
};

class TableRowVisitor {
 public:
  virtual ~TableRowVisitor() = default;
  // Carving rules of the table, asked after its live rows since intact rows
  // can change the column count (message, contacts, calls).
  virtual CarvingRules carvingRules(SqliteFileReader& reader) = 0;
  virtual void visit(SqliteFileReader& reader, const TableRow& row) = 0;
};

// Runs the sequence for `tableName` on an opened reader: 0, or the page-read
// error that ended the free-page step.
int32_t ReadTable(SqliteFileReader& reader, const std::string& tableName, TableRowVisitor& visitor);

// Every row of any table, live or deleted, with the column count given by
// the caller standing in when the table's declaration cannot be read.
using TableRowCallback = std::function<void(const TableRow&)>;
int32_t ReadTableRows(SqliteFileReader& reader, const std::string& tableName, int32_t expectedColumnCount,
                      const TableRowCallback& visit);

// The live rows of the b-tree rooted at `rootIndex` only (the schema is the
// tree rooted at page index 0).
int32_t ReadLiveRows(const SqliteFileReader& reader, uint32_t rootIndex, const TableRowCallback& visit);

}  // namespace fq

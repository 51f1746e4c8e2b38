#pragma once
// The table-reading sequence every table reader follows: live rows of the
// table's b-tree, rows carved from its leaf pages, then the free-list pages
// attributed to it, each row handed to a visitor. Copies of live rows left
// behind by b-tree rebalancing are not handed on as deleted rows.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/sqlite/Carving.h"
#include "engine/sqlite/RowParser.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableRow.h"

namespace fq {

class TableRowVisitor {
 public:
  virtual ~TableRowVisitor() = default;
  // Carving rules of the table, asked again before every carving walk since
  // intact rows can change the column count (message, contacts, calls).
  virtual CarvingRules carvingRules(SqliteFileReader& reader) = 0;
  // How many serial types a carved row of the table holds.
  virtual CarvedLayout carvedLayout(const SqliteFileReader& reader) {
    return CarvedLayout{reader.expectedColumnCount(), false};
  }
  // Whether a free page listing no cells is attributed to the table.
  virtual bool emptyFreePageMatches() const { return false; }
  virtual void visit(SqliteFileReader& reader, const TableRow& row) = 0;
};

// Runs the sequence for `tableName` on an opened reader: 0, or the page-read
// error that ended the free-page step.
int32_t ReadTable(SqliteFileReader& reader, const std::string& tableName, TableRowVisitor& visitor);

// Every row of any table, live or deleted, with the carving column count
// given by the caller (the declared columns of the table).
using TableRowCallback = std::function<void(const TableRow&)>;
int32_t ReadTableRows(SqliteFileReader& reader, const std::string& tableName, int32_t expectedColumnCount,
                      const TableRowCallback& visit);

// The live rows of the b-tree rooted at `rootIndex` only (the schema is the
// tree rooted at page index 0).
int32_t ReadLiveRows(const SqliteFileReader& reader, uint32_t rootIndex, const TableRowCallback& visit);

}  // namespace fq

#pragma once
// The tables of any SQLite file as its schema declares them, for reading
// tables the system has no decoder for: the carving column count is the
// number of columns the CREATE TABLE statement declares.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sqlite/ColumnValues.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableRow.h"

namespace fq {

// The type affinity SQLite gives a column from its declared type.
enum class Affinity { Integer, Text, Blob, Real, Numeric };
Affinity AffinityOf(std::string_view declaredType);

struct TableSchema {
  std::string name;
  std::string sql;
  int32_t columnCount = 0;               // declared columns; 0 when the statement cannot be read
  int32_t rowIdColumn = -1;              // the INTEGER PRIMARY KEY column, stored as NULL in the record
  std::vector<Affinity> affinities;      // one per declared column
  std::vector<std::string> columnNames;  // one per declared column, upper case
  std::vector<int32_t> primaryKey;       // the PRIMARY KEY's columns, in key order
  // One per declared column: the value a record written before the column
  // was added (ALTER TABLE ADD COLUMN) reads as, from its DEFAULT literal.
  std::vector<ColumnValue> defaults;
  bool withoutRowId = false;  // rows live in an index b-tree keyed by the primary key
  bool isVirtual = false;     // a module's table: no b-tree of its own
  uint32_t rootPage = 0;      // one-based, as the schema holds it; 0 when unknown
  // One per declared column: 1 when declared NOT NULL.
  std::vector<uint8_t> notNull;
  bool dropped = false;  // known only from a schema row found in free space
  // A virtual table's module as written after USING, and its arguments as
  // written between the commas (trimmed); its columns are the ones the
  // module declares from them (none for a module the reader does not know).
  std::string module;
  std::vector<std::string> moduleArguments;

  // Position of the declared column `name` (any case), or -1 when the table has none.
  int32_t columnIndex(std::string_view name) const;
};

// Declared columns of a CREATE TABLE statement (table constraints are not
// columns), or of a CREATE VIRTUAL TABLE statement the columns its module
// gives SELECT *.
TableSchema ParseCreateTable(std::string_view sql);

// Whether a row found in free space could have been written by SQLite into
// this table: every column present, texts clean UTF-8, no value SQLite's type
// affinity would have converted (an integer in a TEXT column, a text in an
// INTEGER or REAL one, nor a blob there), the row id alias stored as NULL. Carving without a
// table-specific decoder accepts many misaligned byte runs; this keeps a
// generic dump to rows that can be true.
bool IsPlausibleRow(const TableRow& row, const TableSchema& schema);

// Every table of the live schema, in schema order, then the tables dropped
// from it whose schema rows still lie in its free space; names and statements
// in UTF-8 whatever the file's text encoding.
std::vector<TableSchema> ListTables(const SqliteFileReader& reader);

// The tables of the live schema only, in schema order.
std::vector<TableSchema> LiveTables(const SqliteFileReader& reader);

// Tables whose schema rows were deleted (dropped tables) and are found in the
// free space of the schema's pages, each named once and never by a name the
// live schema still has.
std::vector<TableSchema> DroppedTables(const SqliteFileReader& reader);

// The declaration of table `name` (any case): the live schema's, else a
// dropped table's; columnCount 0 when there is no readable statement for it
// or the table is virtual (it has no records of its own to decode).
TableSchema FindTable(const SqliteFileReader& reader, std::string_view name);

}  // namespace fq

#pragma once
// What the records of one table can look like, for telling its deleted rows
// from other bytes in free space: per column the affinity, NOT NULL and
// row-id alias of its declaration, and the kinds of value its live rows hold.
#include <cstdint>
#include <span>
#include <vector>

#include "engine/sqlite/TableRow.h"
#include "engine/sqlite/TableSchema.h"

namespace fq {

// Kinds of stored value as bits, so a column's observed kinds are one mask.
enum ValueKind : uint8_t {
  kKindNull = 1,
  kKindInteger = 2,
  kKindReal = 4,
  kKindText = 8,
  kKindBlob = 16,
};
uint8_t KindOfSerialType(uint64_t serialType);  // 0 for the reserved types 10 and 11

struct ColumnRule {
  Affinity affinity = Affinity::Blob;
  bool notNull = false;
  bool rowIdAlias = false;  // stored as NULL in every record
  uint8_t liveKinds = 0;    // kinds seen in live rows
};

struct TableSignature {
  std::vector<ColumnRule> columns;
  // Type counts a record of the table may hold: the declared count first,
  // then shorter counts live rows were written with (before columns were added).
  std::vector<int32_t> counts;
  int64_t liveRows = 0;
  int32_t mostLiveNulls = 0;
  bool utf8 = true;  // texts are UTF-8 (not UTF-16) in this file

  // Whether the live rows are many enough for their kinds to judge a carved row.
  bool liveEvidence() const { return liveRows >= 10; }
  // Whether a value of serial type `type` can be stored in column `c` at all.
  bool fits(int32_t c, uint64_t type) const;
  void addLiveRow(const TableRow& row);
};

// The signature of a table from its declaration; `fallbackCount` columns
// of unknown type when the declaration could not be read.
TableSignature SignatureOf(const TableSchema& schema, int32_t fallbackCount);

// The acceptance gate of carved rows: types fit, NOT NULL holds, the row-id
// alias is NULL, texts are clean, reals are sane, the row holds something, and
// with enough live rows it looks like them. `guessedFirst`: column 0's type was
// inferred, not read.
bool AcceptCarvedRow(const TableSignature& signature, std::span<const RowColumn> columns, bool guessedFirst);
// The same gate for columns whose serial types are known to fit their columns.
bool AcceptCarvedValues(const TableSignature& signature, std::span<const RowColumn> columns,
                        bool guessedFirst);

}  // namespace fq

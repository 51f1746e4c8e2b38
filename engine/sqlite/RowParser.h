#pragma once
// Splits the record of one row into its columns: an intact payload (header
// size, serial types, content) or a carved run of bytes that starts at its
// first serial type. A column whose content would run past the bytes available
// makes the row unreadable: no row rather than a guess.
#include <cstdint>
#include <span>

#include "engine/sqlite/TableRow.h"

namespace fq {

// How many serial types a carved record holds.
struct CarvedLayout {
  int32_t count = 0;          // serial types (or type-list bytes) when the first byte is 0
  bool countIsBytes = false;  // `count` is the byte length of the type list
};

// Fills row.columns, headerSize and headerSizeLength from an intact payload.
bool parseIntactRecord(std::span<const uint8_t> payload, TableRow& row);

// Fills row.columns and row.firstColumn from the bytes of a carved candidate
// (from its first serial type to the page end). A first byte other than 0
// means the first column's type was overwritten: one type fewer is read and
// column numbering starts at 1.
bool parseCarvedRecord(std::span<const uint8_t> bytes, const CarvedLayout& layout, TableRow& row);

// Reads exactly `typeCount` serial types from the start of `bytes` as columns
// `firstColumn` on, with their content `contentGap` bytes after the type list
// (room for a first column whose type was lost). Sets typeListLength.
bool parseRecordTypes(std::span<const uint8_t> bytes, int32_t typeCount, int32_t firstColumn,
                      int64_t contentGap, TableRow& row, int64_t& typeListLength);

}  // namespace fq

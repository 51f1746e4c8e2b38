#pragma once
// Splits the record of one intact row into its columns (header size, serial
// types, content). A column whose content would run past the bytes available
// makes the row unreadable: no row rather than a guess.
#include <cstdint>
#include <span>

#include "engine/sqlite/TableRow.h"

namespace fq {

// Fills row.columns, headerSize and headerSizeLength from an intact payload.
bool parseIntactRecord(std::span<const uint8_t> payload, TableRow& row);

}  // namespace fq

#pragma once
// Deleted-row carving: finds records of one table in the free space of its
// leaf pages (free blocks, the tail after the highest cell, the gap after the
// cell pointer array, stale cell pointers). A candidate is the offset of the
// first serial type of a record assumed to hold the table's column count.
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableRow.h"

namespace fq {

struct Candidate {
  uint16_t offset = 0;
  RowSource source = RowSource::FreeBlock;  // the pass that found it
  uint16_t block = 0;                       // the free block (or stale cell) it was found in; 0 when none
};
// Zero-based page index -> candidates of that page in pass order.
using CandidateMap = std::map<uint32_t, std::vector<Candidate>>;

struct CarvingRules {
  int32_t columnCount = 0;         // n, the table's expected column count
  int32_t headerCompareCount = 0;  // the count the tail and gap passes compare header lengths with
  bool requireGuidText = false;    // message rows: 36 nonzero GUID bytes after the header
};

struct FreeBlockVerdict {
  bool accepted = false;
  bool endWalk = false;  // the free-block chain cannot be followed further
  uint16_t candidate = 0;
  int64_t typeListLength = 0;  // headerLength of n types after the header-size position
};

enum class FreeBlockMode { FreeBlockChain, StalePointer };

// The shared test of a free block (or stale cell) at `offset`.
FreeBlockVerdict freeBlockTest(std::span<const uint8_t> page, size_t offset, int32_t columnCount,
                               FreeBlockMode mode);

// Passes A to D over one leaf table page; exact duplicate offsets are kept once.
std::vector<Candidate> carvePage(std::span<const uint8_t> page, uint32_t pageIndex,
                                 const CarvingRules& rules);

// The carving counterpart of collectLeaves: carves every leaf below `page`.
int32_t carveTable(const SqliteFileReader& reader, std::span<const uint8_t> page, uint32_t pageIndex,
                   const CarvingRules& rules, CandidateMap& candidates);

}  // namespace fq

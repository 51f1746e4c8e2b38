#pragma once
// The overflow chains of deleted records: a freed cell whose record did not
// fit its page keeps, at the end of its local part, the number of the first
// overflow page, and its overflow pages, once on the free list, still chain by
// their first four bytes.
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <vector>

#include "engine/sqlite/RecordScan.h"
#include "engine/sqlite/TableSignature.h"

namespace fq {

class SqliteFileReader;

// The bytes of a table leaf cell's payload of `total` bytes kept on its page
// (the rest spills into overflow pages), for pages of `usableSize` bytes.
int64_t LocalPayloadSize(uint64_t total, uint32_t usableSize);

class FreeOverflowChains {
 public:
  explicit FreeOverflowChains(const SqliteFileReader& reader);

  // Whether `region` is long enough to hold the local part of a spilling
  // cell, with a free-list leaf to spill into: most regions are not.
  bool mayHold(const FreeRegion& region) const {
    return !m_freeLeaves.empty() && region.end >= region.start && region.end - region.start >= m_shortestCell;
  }

  // Readings of `region` (on `page`) whose record spills into a chain of
  // free-list leaves: the cell's local part ends with the number of a free
  // leaf, its record's length gives exactly that local part, and the cell
  // ends 4 bytes after it. The chain itself is read by `assemble`. Each such
  // cell is noted as a claim on its first overflow page.
  void readingsIn(std::span<const uint8_t> page, const FreeRegion& region, const TableSignature& signature,
                  std::vector<RecordReading>& out);

  // Whether cells with different local parts name `overflowPage` first: the
  // page was taken again and freed again, so its chain holds the rest of at
  // most one of them, and which one is unknown.
  bool contested(uint32_t overflowPage) const { return m_contested.contains(overflowPage); }

  // The record of `reading` as one run of bytes from its first serial type
  // (its header length for an intact record): its local part, then
  // `reading.spilled` bytes of the chain. False when the chain leaves the
  // free-list leaves, meets a page twice, meets a page another cell claims,
  // or does not end where the record does.
  bool assemble(std::span<const uint8_t> page, const RecordReading& reading, std::vector<uint8_t>& out) const;

 private:
  bool isFreeLeaf(uint32_t pageNumber) const;
  // Notes the cell whose local part ends at `pointer` as naming the page there.
  void claim(std::span<const uint8_t> page, uint32_t pointer, uint32_t minLocal);

  const SqliteFileReader& m_reader;
  std::vector<uint32_t> m_freeLeaves;  // one-based page numbers, ascending
  uint32_t m_usable = 0;
  uint32_t m_shortestCell = UINT32_MAX;  // the least local part plus its page number
  mutable std::vector<uint8_t> m_page;   // the chain page being read
  // First overflow page -> the local part of the first cell found naming it
  // (hashed); pages named by cells of different local parts.
  std::map<uint32_t, uint64_t> m_claims;
  std::set<uint32_t> m_contested;
};

}  // namespace fq

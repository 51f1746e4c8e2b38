#include "engine/sqlite/FreeRegions.h"

#include <algorithm>

#include "engine/sqlite/RecordFormat.h"
#include "engine/sqlite/SqliteFileReader.h"

namespace fq {

namespace {

// A span of bytes [from, to) the page uses.
struct UsedSpan {
  int64_t from = 0;
  int64_t to = 0;
};

// Appends the unused bytes [from, to) as regions, cut where a free block
// starts (`cuts` ascending, `nextCut` the first not yet passed).
void addUnused(std::vector<FreeRegion>& regions, int64_t from, int64_t to, const std::vector<int64_t>& cuts,
               size_t& nextCut) {
  while (nextCut < cuts.size() && cuts[nextCut] < from) ++nextCut;
  bool freeBlock = false;
  if (nextCut < cuts.size() && cuts[nextCut] == from) {
    freeBlock = true;
    ++nextCut;
  }
  for (; nextCut < cuts.size() && cuts[nextCut] < to; ++nextCut) {
    regions.push_back(
        FreeRegion{static_cast<uint32_t>(from), static_cast<uint32_t>(cuts[nextCut]), freeBlock});
    from = cuts[nextCut];
    freeBlock = true;
  }
  regions.push_back(FreeRegion{static_cast<uint32_t>(from), static_cast<uint32_t>(to), freeBlock});
}

}  // namespace

uint32_t LeafCellSize(std::span<const uint8_t> page, uint32_t offset, uint32_t usableSize) {
  const int64_t end = std::min<int64_t>(static_cast<int64_t>(page.size()), usableSize);
  int64_t pos = offset;
  if (pos >= end) return 0;
  const Varint payload = readVarint(page.subspan(static_cast<size_t>(pos)), std::min<int64_t>(9, end - pos));
  pos += payload.length;
  if (payload.length == 0 || pos >= end) return 0;
  const Varint rowId = readVarint(page.subspan(static_cast<size_t>(pos)), std::min<int64_t>(9, end - pos));
  pos += rowId.length;
  if (rowId.length == 0) return 0;
  const int64_t usable = usableSize;
  const auto total = static_cast<int64_t>(std::min<uint64_t>(payload.value, uint64_t{1} << 40));
  const int64_t maxLocal = usable - 35;
  int64_t local = total;
  int64_t pointer = 0;
  if (total > maxLocal) {
    const int64_t minLocal = ((usable - 12) * 32 / 255) - 23;
    local = minLocal + (total - minLocal) % (usable - 4);
    if (local > maxLocal) local = minLocal;
    pointer = 4;
  }
  const int64_t size = pos - offset + local + pointer;
  // SQLite never stores a cell in fewer than 4 bytes.
  const int64_t stored = std::max<int64_t>(size, 4);
  return offset + stored <= end ? static_cast<uint32_t>(stored) : 0;
}

std::vector<FreeRegion> FreeRegionsOf(std::span<const uint8_t> page, uint32_t pageIndex, uint32_t usableSize,
                                      FreePageKind kind) {
  std::vector<FreeRegion> regions;
  const int64_t end = std::min<int64_t>(static_cast<int64_t>(page.size()), usableSize);
  if (end <= 8) return regions;
  // The used spans and free block starts, then the gaps between them: a page
  // holds a few dozen cells, so spans are cheaper than a mark per byte.
  std::vector<UsedSpan> used;
  std::vector<int64_t> cuts;  // a region starts here, ascending
  const auto mark = [&used, end](int64_t from, int64_t to) {
    from = std::clamp<int64_t>(from, 0, end);
    to = std::clamp<int64_t>(to, from, end);
    if (to > from) used.push_back(UsedSpan{from, to});
  };

  if (kind == FreePageKind::FreeTrunk) {
    const uint32_t listed = std::min<uint32_t>(readBe32(page, 4), static_cast<uint32_t>((end - 8) / 4));
    mark(0, 8 + int64_t{listed} * 4);
  } else {
    const auto header = static_cast<int64_t>(SqliteFileReader::headerStart(pageIndex));
    mark(0, kind == FreePageKind::FreeLeaf ? std::max<int64_t>(header, 8) : header);
    const bool leaf = header + 8 <= end && page[static_cast<size_t>(header)] == kLeafTablePage;
    if (leaf) {
      mark(header, header + 8);
      const int64_t cellCount = readBe16(page, static_cast<size_t>(header + 3));
      const int64_t pointers = header + 8;
      mark(pointers, pointers + 2 * cellCount);
      used.reserve(used.size() + static_cast<size_t>(cellCount));
      for (int64_t i = 0; i < cellCount && pointers + 2 * i + 2 <= end; ++i) {
        const uint32_t cell = readBe16(page, static_cast<size_t>(pointers + 2 * i));
        if (cell < pointers + 2 * cellCount) continue;
        const uint32_t size = LeafCellSize(page, cell, usableSize);
        if (size != 0) mark(cell, int64_t{cell} + size);
      }
      // Free blocks chain in ascending order; each starts a region of its own.
      int64_t block = readBe16(page, static_cast<size_t>(header + 1));
      for (int guard = 0; block != 0 && block + 4 <= end && guard < end / 4; ++guard) {
        cuts.push_back(block);
        const int64_t next = readBe16(page, static_cast<size_t>(block));
        if (next <= block) break;
        block = next;
      }
    } else if (kind == FreePageKind::TreeLeaf) {
      return regions;
    }
  }

  std::sort(used.begin(), used.end(), [](const UsedSpan& a, const UsedSpan& b) { return a.from < b.from; });
  size_t nextCut = 0;
  int64_t at = 0;
  for (const UsedSpan& span : used) {
    if (span.from > at) addUnused(regions, at, span.from, cuts, nextCut);
    at = std::max(at, span.to);
  }
  if (at < end) addUnused(regions, at, end, cuts, nextCut);
  return regions;
}

}  // namespace fq

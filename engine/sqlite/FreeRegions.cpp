#include "engine/sqlite/FreeRegions.h"

#include <algorithm>

#include "engine/sqlite/RecordFormat.h"
#include "engine/sqlite/SqliteFileReader.h"

namespace fq {

namespace {

// Marks bytes [from, to) of `used`, clipped to the page.
void mark(std::vector<uint8_t>& used, int64_t from, int64_t to) {
  from = std::clamp<int64_t>(from, 0, static_cast<int64_t>(used.size()));
  to = std::clamp<int64_t>(to, from, static_cast<int64_t>(used.size()));
  std::fill(used.begin() + from, used.begin() + to, uint8_t{1});
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
  std::vector<uint8_t> used(static_cast<size_t>(end), 0);
  std::vector<uint8_t> cut(static_cast<size_t>(end), 0);  // a region starts here

  if (kind == FreePageKind::FreeTrunk) {
    const uint32_t listed = std::min<uint32_t>(readBe32(page, 4), static_cast<uint32_t>((end - 8) / 4));
    mark(used, 0, 8 + int64_t{listed} * 4);
  } else {
    const auto header = static_cast<int64_t>(SqliteFileReader::headerStart(pageIndex));
    mark(used, 0, kind == FreePageKind::FreeLeaf ? std::max<int64_t>(header, 8) : header);
    const bool leaf = header + 8 <= end && page[static_cast<size_t>(header)] == kLeafTablePage;
    if (leaf) {
      mark(used, header, header + 8);
      const int64_t cellCount = readBe16(page, static_cast<size_t>(header + 3));
      const int64_t pointers = header + 8;
      mark(used, pointers, pointers + 2 * cellCount);
      for (int64_t i = 0; i < cellCount && pointers + 2 * i + 2 <= end; ++i) {
        const uint32_t cell = readBe16(page, static_cast<size_t>(pointers + 2 * i));
        if (cell < pointers + 2 * cellCount) continue;
        const uint32_t size = LeafCellSize(page, cell, usableSize);
        if (size != 0) mark(used, cell, int64_t{cell} + size);
      }
      // Free blocks chain in ascending order; each starts a region of its own.
      int64_t block = readBe16(page, static_cast<size_t>(header + 1));
      for (int guard = 0; block != 0 && block + 4 <= end && guard < end / 4; ++guard) {
        cut[static_cast<size_t>(block)] = 1;
        const int64_t next = readBe16(page, static_cast<size_t>(block));
        if (next <= block) break;
        block = next;
      }
    } else if (kind == FreePageKind::TreeLeaf) {
      return regions;
    }
  }

  int64_t at = 0;
  while (at < end) {
    if (used[static_cast<size_t>(at)] != 0) {
      ++at;
      continue;
    }
    int64_t stop = at + 1;
    while (stop < end && used[static_cast<size_t>(stop)] == 0 && cut[static_cast<size_t>(stop)] == 0) ++stop;
    regions.push_back(FreeRegion{static_cast<uint32_t>(at), static_cast<uint32_t>(stop),
                                 cut[static_cast<size_t>(at)] != 0});
    at = stop;
  }
  return regions;
}

}  // namespace fq

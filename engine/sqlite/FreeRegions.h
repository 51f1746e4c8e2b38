#pragma once
// The free space of one page, where deleted records lie: on a table leaf every
// byte that is not page header, cell pointer or live cell, cut where a free
// block starts; on a free-list leaf everything after its first 8 bytes
// (cells it still lists excepted); on a free-list trunk what follows its list.
#include <cstdint>
#include <span>
#include <vector>

namespace fq {

struct FreeRegion {
  uint32_t start = 0;      // first byte (a free block's header when one starts here)
  uint32_t end = 0;        // one past the last byte
  bool freeBlock = false;  // starts with the 4-byte header of a free block
};

enum class FreePageKind { TreeLeaf, FreeLeaf, FreeTrunk };

// `usableSize`: the page bytes before the reserved area. Regions come in
// page order, never overlapping, every one inside the page.
std::vector<FreeRegion> FreeRegionsOf(std::span<const uint8_t> page, uint32_t pageIndex, uint32_t usableSize,
                                      FreePageKind kind);

// Bytes a table leaf cell at `offset` takes on its page (overflow pointer
// included), 0 when it does not fit the page.
uint32_t LeafCellSize(std::span<const uint8_t> page, uint32_t offset, uint32_t usableSize);

}  // namespace fq

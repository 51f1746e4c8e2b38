#pragma once
// One row of a table as the reader found it: live in the b-tree, intact on a
// free page, or carved out of free space, with its columns as (serial type,
// content bytes). The byte spans are valid only while the row is visited.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace fq {

// Where a row was found. Carved rows come from one of the four carving passes.
enum class RowSource { BTree, FreePage, FreeBlock, Tail, Gap, Stale };

std::string_view rowSourceName(RowSource source);  // "btree", "freepage", "freeblock", ...

struct RowColumn {
  uint64_t serialType = 0;
  std::span<const uint8_t> bytes;  // exactly contentLength(serialType) bytes
};

struct TableRow {
  int32_t deleted = 0;  // 0 live, 1 found in free space or on a free page
  RowSource source = RowSource::BTree;
  bool carved = false;                 // no cell header: row id unknown, no overflow followed
  uint32_t page = 0;                   // zero-based page index
  uint32_t offset = 0;                 // cell offset, or the first serial type of a carved row
  int64_t rowId = 0;                   // 0 when carved
  uint64_t headerSize = 0;             // intact rows: the record's header-size integer
  int32_t headerSizeLength = 0;        // and the bytes it takes
  int32_t firstColumn = 0;             // 1 when a carved row lost its first column's serial type
  std::vector<RowColumn> columns;      // columns[i] is column firstColumn + i
  uint32_t block = 0;                  // carved: the free block it was found in (0 when none)
  std::span<const uint8_t> pageBytes;  // carved: the page it was found on

  // Column `c` of the table (numbered from 0), or nullptr when the row has none.
  const RowColumn* column(int32_t c) const {
    const int64_t i = int64_t{c} - firstColumn;
    return (i >= 0 && i < static_cast<int64_t>(columns.size())) ? &columns[static_cast<size_t>(i)] : nullptr;
  }
};

}  // namespace fq

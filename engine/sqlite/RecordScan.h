#pragma once
// The record scan of free space: every offset of a free region is read as the
// start of a deleted record of one table in the three forms a freed cell
// leaves behind (header intact; header length lost; first serial type lost
// too), each reading kept only with evidence of where it ends and through the
// acceptance gate, and per region the heaviest set of readings that do not
// overlap is taken.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "engine/sqlite/FreeRegions.h"
#include "engine/sqlite/RecordFormat.h"
#include "engine/sqlite/TableRow.h"
#include "engine/sqlite/TableSignature.h"

namespace fq {

// How a carved record was read.
enum class ReadingForm : uint8_t {
  Intact,     // header length and serial types
  NoLength,   // serial types without the header length before them
  LostFirst,  // the types of columns 1..n-1, column 0's inferred
};

struct RecordReading {
  uint32_t start = 0;    // first byte the record's cell is known to take
  uint32_t typesAt = 0;  // first serial type read (the header length for Intact)
  uint32_t end = 0;      // one past the record's last content byte
  int32_t count = 0;     // serial types the record holds, column 0 included
  ReadingForm form = ReadingForm::Intact;
  uint64_t firstType = 0;  // LostFirst: column 0's inferred serial type
  int64_t rowId = 0;       // from an intact cell prefix; 0 when unknown
  bool prefixed = false;   // the cell's payload length and row id were found before it
  bool anchored = false;   // its end is proven (own cell, free block size, region end, next proven cell)
  int64_t weight = 0;
  // A record that spills into overflow pages: the one-based first page of its
  // chain (its number closes the cell, whose end is `end`) and the record
  // bytes the chain holds. 0 when the record lies wholly on the page.
  uint32_t overflowPage = 0;
  uint32_t spilled = 0;
  // Where the scan that found it kept the columns it judged (plus one), for
  // columnsOf() on the page of that scan; 0 when not kept.
  uint32_t keptColumns = 0;
};

class FreeOverflowChains;

// Scans the free regions of one page (bytes as read) for records of the
// table `signature` describes. Reuse one scanner across pages: it keeps its
// buffers.
class RecordScanner {
 public:
  // `chains`: where records spilling into freed overflow pages are read
  // whole; none are read without it.
  explicit RecordScanner(const TableSignature& signature, FreeOverflowChains* chains = nullptr);

  // The selected readings of `regions`, in page order.
  std::vector<RecordReading> scan(std::span<const uint8_t> page, std::span<const FreeRegion> regions);

  // The columns of a selected reading; false when it no longer parses.
  // Columns the last scan() already read on `page` are copied, not read again.
  bool columnsOf(std::span<const uint8_t> page, const RecordReading& reading,
                 std::vector<RowColumn>& out) const;

 private:
  void markWalkable(std::span<const uint8_t> page, uint32_t from, uint32_t to);
  void readAt(std::span<const uint8_t> page, const FreeRegion& region, uint8_t walkable, uint32_t at);
  // The readings of records spilling into overflow pages freed with them.
  void readSpilling(std::span<const uint8_t> page, const FreeRegion& region);
  void tryIntact(std::span<const uint8_t> page, const FreeRegion& region, uint32_t at);
  void tryTypes(std::span<const uint8_t> page, const FreeRegion& region, uint32_t at, ReadingForm form);
  bool endIsKnown(std::span<const uint8_t> page, const FreeRegion& region, const RecordReading& r) const;
  void prove();
  bool keep(std::span<const uint8_t> page, const FreeRegion& region, RecordReading reading);
  // Passes `reading` through the gate, noting in it where its columns are kept.
  bool judge(std::span<const uint8_t> page, RecordReading& reading);
  // Where the types of `r` start, past an intact record's header length.
  static uint32_t typesFrom(std::span<const uint8_t> page, const RecordReading& r);
  bool accepted(const RecordReading& reading) const;
  // Reads the columns of `r` (wholly on `page`) into `out`.
  bool readColumns(std::span<const uint8_t> page, const RecordReading& r, std::vector<RowColumn>& out) const;
  void select(std::vector<RecordReading>& out);

  static constexpr uint64_t kSmallTypes = 128;
  bool fits(int32_t c, uint64_t type) const {
    return type < kSmallTypes ? m_smallFits[static_cast<size_t>(c) * kSmallTypes + type] != 0
                              : m_signature.fits(c, type);
  }
  int64_t lengthOf(uint64_t type) const {
    return type < kSmallTypes ? m_smallLengths[type] : contentLength(type);
  }

  const TableSignature& m_signature;
  FreeOverflowChains* m_chains = nullptr;
  mutable std::vector<uint8_t> m_assembled;  // the record of the spilling reading last read
  std::vector<RecordReading> m_spilling;     // readings of the region that spill
  std::vector<uint8_t> m_smallFits;          // column * kSmallTypes + type -> whether it fits
  std::array<uint8_t, kSmallTypes> m_smallLengths{};
  // The walks' pre-filter, per one-byte serial type: bit i set when the type
  // fits column i (m_fitsFrom0) or column i + 1 (m_fitsFrom1), for the first
  // m_need0 / m_need1 types a reading of the shortest count must hold.
  std::array<uint64_t, kSmallTypes> m_fitsFrom0{};
  std::array<uint64_t, kSmallTypes> m_fitsFrom1{};
  int32_t m_need0 = 0;
  int32_t m_need1 = 0;
  int32_t m_longest = 0;  // the longest count
  // Per offset of the region being scanned: whether a walk from column 0 may
  // reach m_need0 columns there, whether one from column 1 may reach m_need1
  // more, whether an intact header may start there.
  static constexpr uint8_t kWalkFrom0 = 1;
  static constexpr uint8_t kWalkFrom1 = 2;
  static constexpr uint8_t kIntact = 4;
  std::vector<uint8_t> m_walkable;
  std::vector<RecordReading> m_readings;  // of the region being scanned
  std::vector<uint32_t> m_starts;         // cell starts of the region's proven readings
  std::vector<RowColumn> m_columns;       // the columns of the reading being judged
  // The last verdicts of the region, by where a reading's types start and
  // where it ends.
  struct Judged {
    uint32_t typesFrom = 0;
    uint32_t end = 0;
    int32_t count = 0;
    bool lostFirst = false;
    uint64_t firstType = 0;
    uint32_t overflowPage = 0;  // a record read on through its chain holds other bytes
    bool accepted = false;
    uint32_t keptColumns = 0;  // as RecordReading::keptColumns
  };
  static constexpr size_t kJudgedKept = 8;
  std::vector<Judged> m_judged;
  // The columns of the accepted readings of the last scan(), one run each,
  // and of which reading and page.
  struct Kept {
    uint32_t at = 0;  // first column in m_keptColumns
    uint32_t typesFrom = 0;
    uint32_t end = 0;
    int32_t count = 0;
    uint64_t firstType = 0;  // a lost column 0's, else 0
    bool lostFirst = false;
  };
  std::vector<RowColumn> m_keptColumns;
  std::vector<Kept> m_kept;
  const uint8_t* m_keptPage = nullptr;
  size_t m_nextJudged = 0;
  // Where the types and the content of a walk's first columns end, by column count.
  std::vector<uint32_t> m_walkEnds;
  std::vector<int64_t> m_walkContent;
  // The same of the last intact header read through to the longest count,
  // and where its types (m_intactTypesFrom) and its second type start.
  std::vector<uint32_t> m_intactEnds;
  std::vector<int64_t> m_intactContent;
  uint32_t m_intactTypesFrom = UINT32_MAX;
  uint32_t m_intactSecondType = UINT32_MAX;
};

}  // namespace fq

#include "engine/sqlite/TableReader.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string_view>
#include <unordered_set>

#include "engine/ResultCodes.h"
#include "engine/sqlite/ExpectedColumnCount.h"
#include "engine/sqlite/FreeRegions.h"
#include "engine/sqlite/OverflowChain.h"
#include "engine/sqlite/RecordFormat.h"
#include "engine/sqlite/RecordScan.h"
#include "engine/sqlite/TableSchema.h"
#include "engine/sqlite/TableSignature.h"

namespace fq {

namespace {

// Mixes one 64-bit value into a running hash (the splitmix64 finaliser).
uint64_t mixIn(uint64_t hash, uint64_t value) {
  uint64_t z = hash + 0x9E3779B97F4A7C15ull + value;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint64_t hashBytes(std::span<const uint8_t> bytes) {
  constexpr uint64_t kMultiplier = 0xFF51AFD7ED558CCDull;
  uint64_t hash = bytes.size();
  size_t at = 0;
  for (; at + 8 <= bytes.size(); at += 8) {
    uint64_t word = 0;
    std::memcpy(&word, bytes.data() + at, 8);
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 32;
  }
  uint64_t tail = 0;
  for (; at < bytes.size(); ++at) tail = (tail << 8) | bytes[at];
  hash = (hash ^ tail) * kMultiplier;
  return hash ^ (hash >> 32);
}

// One column's value as a word, equal for equal values whatever integer
// width stored them; the kind of value is part of it.
inline uint64_t valueWord(const RowColumn* col) {
  if (col == nullptr) return 0x6E6F6E65ull;
  const uint64_t t = col->serialType;
  constexpr uint64_t kSpread = 0x9E3779B97F4A7C15ull;
  if (t >= 1 && t <= 6) {
    uint64_t v = (col->bytes[0] & 0x80) != 0 ? ~uint64_t{0} : 0;
    for (const uint8_t b : col->bytes) v = (v << 8) | b;
    return v * kSpread + 'i';
  }
  if (t == 8 || t == 9) return (t - 8) * kSpread + 'i';
  if (t == 0) return 0x6E756C6Cull << 24;
  const uint64_t kind = t == 7 ? uint64_t{'r'} : (t >= 13 && t % 2 == 1) ? uint64_t{'t'} : uint64_t{'b'};
  return hashBytes(col->bytes) ^ (kind << 56);
}

// A hash of a row's values, column by column, to tell equal rows. Computed
// for every live row, so kept to one pass without allocation.
uint64_t fingerprintOf(const TableRow& row) {
  const int32_t end = row.firstColumn + static_cast<int32_t>(row.columns.size());
  uint64_t hash = static_cast<uint64_t>(std::max(end, 0));
  const auto add = [&hash](uint64_t word) {
    hash = (hash ^ word) * 0x9FB21C651E98DF25ull;
    hash ^= hash >> 29;
  };
  for (int32_t c = 0; c < std::min(row.firstColumn, end); ++c) add(valueWord(nullptr));
  for (size_t i = row.firstColumn < 0 ? static_cast<size_t>(-int64_t{row.firstColumn}) : 0;
       i < row.columns.size(); ++i)
    add(valueWord(&row.columns[i]));
  return mixIn(hash, 0);
}

// Live rows of one table, to tell rows the phone deleted from copies of live
// rows that b-tree rebalancing left in free space.
class LiveRowIndex {
 public:
  void add(const TableRow& row) {
    m_rowIds.push_back(row.rowId);
    m_rows.push_back(fingerprintOf(row));
    m_sorted = false;
  }
  bool hasRowId(int64_t rowId) {
    sort();
    return std::binary_search(m_rowIds.begin(), m_rowIds.end(), rowId);
  }
  bool hasEqualRow(uint64_t fingerprint) {
    sort();
    return std::binary_search(m_rows.begin(), m_rows.end(), fingerprint);
  }

 private:
  // Live rows all come before the first question, so one sort serves them.
  void sort() {
    if (m_sorted) return;
    std::sort(m_rowIds.begin(), m_rowIds.end());
    std::sort(m_rows.begin(), m_rows.end());
    m_sorted = true;
  }
  std::vector<int64_t> m_rowIds;
  std::vector<uint64_t> m_rows;  // fingerprints
  bool m_sorted = true;
};

bool parseIntactCell(const SqliteFileReader& reader, std::span<const uint8_t> page, uint32_t pageIndex,
                     uint16_t offset, CellPayload& payload, TableRow& row) {
  if (reader.readCellPayload(page, offset, payload) != kOk) return false;
  row.carved = false;
  row.page = pageIndex;
  row.offset = offset;
  row.rowId = payload.rowId;
  return parseIntactRecord(payload.bytes, row);
}

class TableWalk {
 public:
  TableWalk(SqliteFileReader& reader, TableRowVisitor& visitor) : m_reader(reader), m_visitor(visitor) {}

  // Live cells of every page of the map. Returns a page-read error.
  int32_t visitIntactCells(const PageMap& pages, int32_t deleted) {
    std::vector<uint8_t> page;
    CellPayload payload;
    TableRow row;
    row.block = 0;
    for (const auto& [pageIndex, offsets] : pages) {
      if (const int32_t r = m_reader.readPage(pageIndex, page); r != kOk) return r;
      for (const uint16_t offset : offsets) {
        if (!parseIntactCell(m_reader, page, pageIndex, offset, payload, row)) continue;
        row.deleted = deleted;
        row.source = deleted ? RowSource::FreePage : RowSource::BTree;
        if (deleted == 0) {
          m_live.add(row);
          if (!m_signature.columns.empty()) m_signature.addLiveRow(row);
        } else if (m_live.hasRowId(row.rowId) || !m_given.insert(fingerprintOf(row)).second) {
          continue;  // an older copy of a row that still lives in the table, or a second copy
        }
        m_visitor.visit(m_reader, row);
      }
    }
    return kOk;
  }

  // Deleted records in the free space of one page, in page order.
  void visitFreeSpace(std::span<const uint8_t> page, uint32_t pageIndex, FreePageKind kind,
                      RowSource source) {
    const std::vector<FreeRegion> regions = FreeRegionsOf(page, pageIndex, m_reader.usableSize(), kind);
    if (regions.empty()) return;
    const uint32_t contentStart = contentAreaStart(page, pageIndex);
    for (const RecordReading& reading : m_scanner->scan(page, regions)) {
      // A record read through an overflow chain waits until every cell
      // naming a page of the free list is known: a page named by two cells
      // was taken again, and holds the rest of at most one of them.
      if (reading.overflowPage != 0) {
        m_spilling.push_back(
            SpillingRecord{pageIndex, source, contentStart, reading, {page.begin(), page.end()}});
        continue;
      }
      visitCarved(page, pageIndex, source, contentStart, reading);
    }
  }

  void visitCarved(std::span<const uint8_t> page, uint32_t pageIndex, RowSource source, uint32_t contentStart,
                   const RecordReading& reading) {
    TableRow& row = m_carved;
    if (!m_scanner->columnsOf(page, reading, row.columns)) return;
    row.deleted = 1;
    row.carved = true;
    row.source = source;
    if (source == RowSource::FreeBlock && reading.start < contentStart) row.source = RowSource::Gap;
    row.page = pageIndex;
    row.offset = reading.typesAt;
    row.rowId = reading.rowId;
    row.headerSize = 0;
    row.headerSizeLength = 0;
    row.firstColumn = 0;
    row.block = 0;
    row.pageBytes = page;
    // A cell found whole with the row id of a live row is that row's
    // earlier version (the row was rewritten), as on free pages.
    if (reading.prefixed && m_live.hasRowId(reading.rowId)) return;
    const uint64_t fingerprint = fingerprintOf(row);
    if (m_live.hasEqualRow(fingerprint) || !m_given.insert(fingerprint).second) return;
    m_visitor.visit(m_reader, row);
  }

  // The records waiting for their overflow chains, once every free page is scanned.
  void visitSpilling() {
    for (const SpillingRecord& s : m_spilling)
      visitCarved(s.page, s.pageIndex, s.source, s.contentStart, s.reading);
    m_spilling.clear();
  }

  int32_t run(const std::string& tableName) {
    std::vector<uint8_t> page;
    if (const int32_t r = m_reader.readPage(0, page); r != kOk) return r;
    const std::set<uint32_t> roots = m_reader.findRoots(tableName);
    m_reader.setTableName(tableName);
    const TableSchema schema = FindTable(m_reader, tableName);
    m_signature = SignatureOf(schema, 0);
    m_signature.utf8 = m_reader.textIsUtf8();
    if (schema.dropped) return readDroppedTable(schema);
    // A table the schema does not name has no rows, live or deleted: free
    // space is another table's.
    if (roots.empty()) return kOk;

    std::vector<PageMap> trees;
    for (const uint32_t root : roots) {
      if (m_reader.readPage(root, page) != kOk) break;
      PageMap live;
      const int32_t walk = m_reader.collectLeaves(page, root, live);
      if (visitIntactCells(live, 0) != kOk) break;
      trees.push_back(std::move(live));
      if (walk != kOk) break;
    }
    const CarvingRules rules = m_visitor.carvingRules(m_reader);
    if (m_signature.columns.empty() && rules.columnCount > 0) {
      // No declaration to go by: the caller's column count, with no type rules.
      m_signature = SignatureOf(TableSchema{}, rules.columnCount);
      m_signature.utf8 = m_reader.textIsUtf8();
    }
    if (m_signature.columns.empty()) return kOk;
    FreeOverflowChains chains(m_reader);
    RecordScanner scanner(m_signature, &chains);
    m_scanner = &scanner;

    for (const PageMap& live : trees) {
      for (const auto& [leafIndex, offsets] : live) {
        if (m_reader.readPage(leafIndex, page) != kOk) continue;
        if (SqliteFileReader::pageType(page, leafIndex) != kLeafTablePage) continue;
        visitFreeSpace(page, leafIndex, FreePageKind::TreeLeaf, RowSource::FreeBlock);
      }
    }

    // The root page of a dropped table holds that table's rows, not this one's.
    std::set<uint32_t> droppedRoots;
    for (const TableSchema& dropped : DroppedTables(m_reader)) droppedRoots.insert(dropped.rootPage - 1);
    const auto columnCount = static_cast<int32_t>(m_signature.columns.size());
    for (const uint32_t freeIndex : m_reader.freeLeafPages()) {
      if (droppedRoots.contains(freeIndex)) continue;
      if (const int32_t r = visitFreePage(freeIndex, columnCount, rules.columnCount); r != kOk) {
        visitSpilling();
        return r;
      }
    }
    for (const uint32_t trunkIndex : m_reader.freeTrunkPages()) {
      if (droppedRoots.contains(trunkIndex) || m_reader.readPage(trunkIndex, page) != kOk) continue;
      visitFreeSpace(page, trunkIndex, FreePageKind::FreeTrunk, RowSource::FreePage);
    }
    visitSpilling();
    return kOk;
  }

  // A free-list leaf: the cells it still lists when it belonged to this table
  // (read whole), then its free space. A freed interior page points at its
  // former children as they stand now: pages that are free are visited on
  // their own, and pages in use hold live rows, of this or another table.
  int32_t visitFreePage(uint32_t freeIndex, int32_t columnCount, int32_t fallbackCount) {
    std::vector<uint8_t> page;
    if (m_reader.readPage(freeIndex, page) != kOk) return kOk;
    if (SqliteFileReader::pageType(page, freeIndex) == kLeafTablePage) {
      PageMap leaves;
      leaves[freeIndex] = m_reader.cellOffsets(page, freeIndex);
      int32_t count = -1;
      bool firstPageEmpty = false;
      if (const int32_t r = m_reader.firstCellColumnCount(leaves, count, firstPageEmpty); r != kOk) return r;
      if (!firstPageEmpty && (count == columnCount || count == fallbackCount)) {
        if (const int32_t r = visitIntactCells(leaves, 1); r != kOk) return r;
        if (m_reader.readPage(freeIndex, page) != kOk) return kOk;
      }
    }
    visitFreeSpace(page, freeIndex, FreePageKind::FreeLeaf, RowSource::FreePage);
    return kOk;
  }

  // A dropped table's rows lie on its former root page, freed with the
  // table; every one of them is a deleted row.
  int32_t readDroppedTable(const TableSchema& schema) {
    if (m_signature.columns.empty() || schema.rootPage == 0 || schema.rootPage > m_reader.pageCount())
      return kOk;
    // The page is read only while it is free: a root page taken again by a
    // table made since holds that table's rows. The first page freed becomes
    // a trunk of the free list, which keeps what follows its list.
    const uint32_t root = schema.rootPage - 1;
    const std::vector<uint32_t>& leaves = m_reader.freeLeafPages();
    const std::vector<uint32_t>& trunks = m_reader.freeTrunkPages();
    const bool leaf = std::find(leaves.begin(), leaves.end(), root) != leaves.end();
    if (!leaf && std::find(trunks.begin(), trunks.end(), root) == trunks.end()) return kOk;
    FreeOverflowChains chains(m_reader);
    RecordScanner scanner(m_signature, &chains);
    m_scanner = &scanner;
    const auto columnCount = static_cast<int32_t>(m_signature.columns.size());
    int32_t result = kOk;
    if (leaf) {
      result = visitFreePage(root, columnCount, columnCount);
    } else {
      std::vector<uint8_t> page;
      if (m_reader.readPage(root, page) == kOk)
        visitFreeSpace(page, root, FreePageKind::FreeTrunk, RowSource::FreePage);
    }
    visitSpilling();
    return result;
  }

 private:
  // Where the cell content area of a b-tree page starts (0 when unreadable).
  static uint32_t contentAreaStart(std::span<const uint8_t> page, uint32_t pageIndex) {
    const size_t header = SqliteFileReader::headerStart(pageIndex);
    if (header + 8 > page.size()) return 0;
    const uint32_t start = readBe16(page, header + 5);
    return start == 0 ? 65536 : start;
  }

  SqliteFileReader& m_reader;
  TableRowVisitor& m_visitor;
  LiveRowIndex m_live;
  TableSignature m_signature;
  RecordScanner* m_scanner = nullptr;
  std::unordered_set<uint64_t> m_given;  // deleted rows already handed on
  TableRow m_carved;                     // the carved row being handed on
  struct SpillingRecord {
    uint32_t pageIndex = 0;
    RowSource source = RowSource::FreePage;
    uint32_t contentStart = 0;
    RecordReading reading;
    std::vector<uint8_t> page;  // the page holding its local part, as read
  };
  std::vector<SpillingRecord> m_spilling;
};

class CallbackVisitor final : public TableRowVisitor {
 public:
  CallbackVisitor(int32_t columnCount, const TableRowCallback& callback)
      : m_columnCount(columnCount), m_callback(callback) {}
  CarvingRules carvingRules(SqliteFileReader& reader) override {
    reader.setExpectedColumnCount(m_columnCount);
    return CarvingRules{m_columnCount};
  }
  void visit(SqliteFileReader&, const TableRow& row) override { m_callback(row); }

 private:
  int32_t m_columnCount;
  const TableRowCallback& m_callback;
};

int32_t visitLiveBelow(const SqliteFileReader& reader, uint32_t rootIndex, const TableRowCallback& visit) {
  std::vector<uint8_t> page;
  if (const int32_t r = reader.readPage(rootIndex, page); r != kOk) return r;
  PageMap live;
  const int32_t walk = reader.collectLeaves(page, rootIndex, live);
  CellPayload payload;
  TableRow row;
  for (const auto& [pageIndex, offsets] : live) {
    if (const int32_t r = reader.readPage(pageIndex, page); r != kOk) return r;
    for (const uint16_t offset : offsets) {
      if (!parseIntactCell(reader, page, pageIndex, offset, payload, row)) continue;
      row.deleted = 0;
      row.source = RowSource::BTree;
      visit(row);
    }
  }
  return walk;
}

}  // namespace

int32_t ReadTable(SqliteFileReader& reader, const std::string& tableName, TableRowVisitor& visitor) {
  if (!reader.isOpen()) return kInvalid;
  TableWalk walk(reader, visitor);
  return walk.run(tableName);
}

int32_t ReadTableRows(SqliteFileReader& reader, const std::string& tableName, int32_t expectedColumnCount,
                      const TableRowCallback& visit) {
  CallbackVisitor visitor(expectedColumnCount, visit);
  return ReadTable(reader, tableName, visitor);
}

int32_t ReadLiveRows(const SqliteFileReader& reader, uint32_t rootIndex, const TableRowCallback& visit) {
  if (!reader.isOpen()) return kInvalid;
  return visitLiveBelow(reader, rootIndex, visit);
}

}  // namespace fq

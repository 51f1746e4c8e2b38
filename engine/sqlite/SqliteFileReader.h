#pragma once
// The page reader of one SQLite database file: header check, free-list walk,
// page reads, cell pointer arrays, schema roots, table b-tree walks and cell
// payloads with their overflow chains. It reads the file one page at a time
// (never the whole file) and knows nothing of particular tables.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "engine/platform/File.h"
#include "engine/sqlite/TextEncoding.h"

namespace fq {

// Zero-based page index (ascending) -> offsets within that page: cell offsets
// of a live walk.
using PageMap = std::map<uint32_t, std::vector<uint16_t>>;
// Zero-based child page index -> the key of the cell pointing at it (-1 for
// the right-most child).
using ChildMap = std::map<uint32_t, int64_t>;

inline constexpr uint8_t kInteriorTablePage = 5;
inline constexpr uint8_t kLeafTablePage = 13;
inline constexpr uint8_t kInteriorIndexPage = 2;
inline constexpr uint8_t kLeafIndexPage = 10;

// The payload of one intact cell: either a view into the page or, when it
// spills into overflow pages, the assembled bytes.
struct CellPayload {
  int64_t rowId = 0;
  std::span<const uint8_t> bytes;
  std::vector<uint8_t> storage;
};

class SqliteFileReader {
 public:
  SqliteFileReader() = default;
  ~SqliteFileReader();
  SqliteFileReader(const SqliteFileReader&) = delete;
  SqliteFileReader& operator=(const SqliteFileReader&) = delete;

  // Opens a database file read-only: 0, an errno value, or 87 when the file is
  // not an SQLite 3 database. A second open replaces the file and its free
  // list; row ids and column-count fields are kept.
  int32_t open(const std::filesystem::path& path);
  // The same over bytes in memory, which the caller keeps alive while reading.
  int32_t openMemory(std::span<const uint8_t> bytes);
  void close();
  bool isOpen() const { return m_file.ok() || m_memoryOpen; }

  uint32_t pageSize() const { return m_pageSize; }
  uint32_t usableSize() const { return m_usableSize; }
  uint32_t pageCount() const { return m_pageCount; }
  // How the file stores text (header offset 56).
  TextEncoding textEncoding() const { return m_textEncoding; }
  // Zero-based index of every free-list leaf page, in trunk-walk order.
  const std::vector<uint32_t>& freeLeafPages() const { return m_freeLeafPages; }
  // Zero-based index of every free-list trunk page, in chain order.
  const std::vector<uint32_t>& freeTrunkPages() const { return m_freeTrunkPages; }
  // Whether texts are stored as UTF-8 (not UTF-16).
  bool textIsUtf8() const { return m_textEncoding == TextEncoding::Utf8; }

  // Reads page `index` (zero-based) into `buffer` (resized to the page size):
  // 0, 87 when no file is open, an errno value, or 30 on a short read.
  int32_t readPage(uint32_t index, std::vector<uint8_t>& buffer) const;
  // The same without a copy: `page` views the reader's own copy of the page,
  // valid only until the next page read of this reader (an overflow chain
  // read by readCellPayload is one). Left empty on an error.
  int32_t viewPage(uint32_t index, std::span<const uint8_t>& page) const;

  // Offset of the b-tree page header: 100 on the first page, else 0.
  static size_t headerStart(uint32_t pageIndex) { return pageIndex == 0 ? 100 : 0; }
  static uint8_t pageType(std::span<const uint8_t> page, uint32_t pageIndex);

  // Cell offsets of a b-tree page. A page with exactly one cell is read at the
  // start of its cell content area. Offsets outside the page are dropped.
  std::vector<uint16_t> cellOffsets(std::span<const uint8_t> page, uint32_t pageIndex) const;
  // Children of an interior table page.
  ChildMap childMap(std::span<const uint8_t> page, uint32_t pageIndex,
                    const std::vector<uint16_t>& offsets) const;
  // Zero-based root pages of every schema row naming `tableName` (UTF-8, put
  // into the file's text encoding to compare) in its name or table-name
  // column (the table and its indexes).
  std::set<uint32_t> findRoots(const std::string& tableName) const;
  // Zero-based root pages of every schema row of type "table".
  std::set<uint32_t> tableRoots() const;
  // Adds the leaf pages below `page` (already read) with their cell offsets.
  int32_t collectLeaves(std::span<const uint8_t> page, uint32_t pageIndex, PageMap& pageMap) const;
  // Payload of the intact cell at `offset`, following its overflow chain:
  // 0, 87 when the cell or chain is out of bounds, or a read error.
  int32_t readCellPayload(std::span<const uint8_t> page, size_t offset, CellPayload& out) const;
  // The parts of the file a reading must skip, in words for a person: the
  // free list cut where it loops or leaves the file; a table b-tree child that
  // lies outside the file, is met twice or is no table page; a row whose cell
  // or overflow chain is cut. Walks the schema and every table once (indexes
  // are never read). At most `limit` findings; empty when nothing is skipped.
  std::vector<std::string> findDamage(size_t limit = 4) const;
  // The same for a cell of an index b-tree page, `offset` pointing at its
  // payload length (after the child pointer of an interior cell); no row id.
  int32_t readIndexCellPayload(std::span<const uint8_t> page, size_t offset, CellPayload& out) const;
  // Serial types of the first cell of the first page of `pageMap`. Sets
  // `firstPageEmpty` when that page lists no cells; count -1 when unreadable.
  int32_t firstCellColumnCount(const PageMap& pageMap, int32_t& count, bool& firstPageEmpty) const;

  // State shared by the table readers of one reading pass.
  const std::string& tableName() const { return m_tableName; }
  void setTableName(std::string name) { m_tableName = std::move(name); }
  int32_t expectedColumnCount() const { return m_expectedColumnCount; }
  void setExpectedColumnCount(int32_t n) { m_expectedColumnCount = n; }
  int64_t highestMessageRowId() const { return m_highestMessageRowId; }
  void setHighestMessageRowId(int64_t id) { m_highestMessageRowId = id; }
  int64_t highestContactRowId() const { return m_highestContactRowId; }
  void setHighestContactRowId(int64_t id) { m_highestContactRowId = id; }
  int32_t whatsAppMessageColumnCount() const { return m_whatsAppMessageColumnCount; }
  void setWhatsAppMessageColumnCount(int32_t n) { m_whatsAppMessageColumnCount = n; }
  int32_t callTableKind() const { return m_callTableKind; }
  void setCallTableKind(int32_t kind) { m_callTableKind = kind; }
  bool newerThan11() const { return m_newerThan11; }
  void setNewerThan11(bool newer) { m_newerThan11 = newer; }
  int32_t contactHeaderSerialBytes() const { return m_contactHeaderSerialBytes; }
  void setContactHeaderSerialBytes(int32_t n) { m_contactHeaderSerialBytes = n; }
  int32_t messageColumnCount() const { return m_messageColumnCount; }
  void setMessageColumnCount(int32_t n) { m_messageColumnCount = n; }

 private:
  int32_t readHeaderAndFreeList(int64_t fileSize);
  int32_t readAt(uint64_t offset, std::span<uint8_t> out) const;
  // The payload-length varint of a cell at `pos`, moving `pos` past it.
  static bool readPayloadLength(std::span<const uint8_t> page, int64_t& pos, uint64_t& length);
  // The payload of `total` bytes starting at `pos` on `page`, of which what
  // exceeds `maxLocal` spills into overflow pages.
  int32_t assemblePayload(std::span<const uint8_t> page, int64_t pos, uint64_t total, int64_t maxLocal,
                          CellPayload& out) const;
  // `byType`: match the type column instead of the name and table-name columns.
  void scanSchemaLeaf(std::span<const uint8_t> page, uint32_t pageIndex, const std::string& tableName,
                      bool byType, std::set<uint32_t>& roots) const;
  void findRootsBelow(std::span<const uint8_t> page, uint32_t pageIndex, const std::string& tableName,
                      bool byType, std::set<uint32_t>& roots, std::set<uint32_t>& visited, int depth) const;
  int32_t collectLeavesBelow(std::span<const uint8_t> page, uint32_t pageIndex, PageMap& pageMap,
                             std::set<uint32_t>& visited, int depth) const;
  struct DamageWalk;
  void findDamageBelow(std::span<const uint8_t> page, uint32_t pageIndex, DamageWalk& walk, int depth) const;

  // Recently read pages of the file, in one buffer of slots: page i lives in
  // slot i % slot count. The live walk, the carving passes and every table of
  // a database come back to the same pages (schema, interior pages, leaves),
  // so each is read from the file about once. A miss reads a run of the
  // following pages with it in one system call, as b-tree walks go through
  // mostly consecutive pages.
  int32_t readIntoCache(uint32_t index) const;
  static constexpr size_t kPageCacheBytes = size_t{2} << 20;
  static constexpr size_t kReadAheadBytes = size_t{128} << 10;
  static constexpr size_t kFirstRunPages = 4;
  std::unique_ptr<uint8_t[]> m_cacheBytes;      // slot count * page size, filled as read
  mutable std::vector<uint32_t> m_cachedIndex;  // page in each slot, UINT32_MAX when none
  mutable uint32_t m_runEnd = 0;                // the page after the last run read
  mutable size_t m_runPages = 0;                // how far the last run read ahead

  File m_file;
  bool m_memoryOpen = false;
  std::span<const uint8_t> m_memory;
  uint32_t m_pageSize = 0;
  uint32_t m_usableSize = 0;
  uint32_t m_pageCount = 0;
  TextEncoding m_textEncoding = TextEncoding::Utf8;
  std::vector<uint32_t> m_freeLeafPages;
  std::string m_freeListDamage;  // where the free-list walk stopped short, empty when it did not
  std::vector<uint32_t> m_freeTrunkPages;

  std::string m_tableName;
  int32_t m_expectedColumnCount = 0;
  int64_t m_highestMessageRowId = 0;
  int64_t m_highestContactRowId = 0;
  int32_t m_whatsAppMessageColumnCount = 28;
  int32_t m_callTableKind = 0;
  bool m_newerThan11 = false;
  int32_t m_contactHeaderSerialBytes = 0;
  int32_t m_messageColumnCount = 38;
};

}  // namespace fq

#include "engine/sqlite/SqliteFileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "engine/ResultCodes.h"
#include "engine/platform/File.h"
#include "engine/sqlite/RecordFormat.h"

namespace fq {

namespace {

constexpr char kMagic[16] = {'s', 'q', 'l', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
// Real b-trees are a handful of levels deep; a deeper walk is a loop in a
// damaged file.
constexpr int kMaxTreeDepth = 40;

bool hasMagic(std::span<const uint8_t> head) {
  if (head.size() < 16) return false;
  for (size_t i = 0; i < 16; ++i) {
    uint8_t c = head[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c - 'A' + 'a');
    if (c != static_cast<uint8_t>(kMagic[i])) return false;
  }
  return true;
}

}  // namespace

SqliteFileReader::~SqliteFileReader() { close(); }

void SqliteFileReader::close() {
  m_file = File();
  m_memoryOpen = false;
  m_memory = {};
  m_pageSize = 0;
  m_usableSize = 0;
  m_pageCount = 0;
  m_textEncoding = TextEncoding::Utf8;
  m_freeLeafPages.clear();
  m_freeListDamage.clear();
  m_freeTrunkPages.clear();
  m_cacheBytes.reset();
  m_cachedIndex.clear();
}

int32_t SqliteFileReader::open(const std::filesystem::path& path) {
  close();
  File file = File::OpenRead(path);
  // Anything but a regular file (a folder, a FIFO, a device) is no database.
  if (!file.ok()) return file.error() == EISDIR || file.error() == EINVAL ? kInvalid : file.error();
  const int64_t size = file.size();
  if (size < 0) return kInvalid;
  m_file = std::move(file);
  const int32_t result = readHeaderAndFreeList(size);
  if (result != kOk) close();
  return result;
}

int32_t SqliteFileReader::openMemory(std::span<const uint8_t> bytes) {
  close();
  m_memory = bytes;
  m_memoryOpen = true;
  const int32_t result = readHeaderAndFreeList(static_cast<int64_t>(bytes.size()));
  if (result != kOk) close();
  return result;
}

int32_t SqliteFileReader::readAt(uint64_t offset, std::span<uint8_t> out) const {
  if (m_memoryOpen) {
    if (offset > m_memory.size() || out.size() > m_memory.size() - offset) return kShortRead;
    std::memcpy(out.data(), m_memory.data() + offset, out.size());
    return kOk;
  }
  if (!m_file.ok()) return kInvalid;
  size_t got = 0;
  if (m_file.readAt(offset, out, got) != 0 || got != out.size()) return kShortRead;
  return kOk;
}

int32_t SqliteFileReader::readHeaderAndFreeList(int64_t fileSize) {
  uint8_t head[512] = {};
  const size_t headSize = static_cast<size_t>(std::min<int64_t>(fileSize, 512));
  if (readAt(0, std::span<uint8_t>(head, headSize)) != kOk) return kInvalid;
  const std::span<const uint8_t> header(head, sizeof head);
  if (!hasMagic(std::span<const uint8_t>(head, headSize))) return kInvalid;

  // The stored value 1 means 65536; anything that is not a power of two from
  // 512 to 65536 is not a page size SQLite writes, and would make every page
  // computation meaningless.
  uint32_t pageSize = readBe16(header, 16);
  if (pageSize == 1) pageSize = 65536;
  if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0) return kInvalid;
  m_pageSize = pageSize;
  // Reserved bytes at the end of each page shrink the usable size, which fixes
  // how much of a payload stays on its page. A value SQLite would refuse is ignored.
  const uint32_t reserved = header[20];
  m_usableSize = (pageSize - reserved >= 480) ? pageSize - reserved : pageSize;
  m_pageCount = static_cast<uint32_t>(std::min<int64_t>(fileSize / pageSize, UINT32_MAX));
  m_textEncoding = textEncodingOf(readBe32(header, 56));
  // Pages in memory are read in place; a file gets a cache of a fixed size in
  // bytes, whatever its page size, and no larger than the file. Its memory is
  // left uninitialised: only the slots pages are read into take up room.
  if (!m_memoryOpen) {
    const size_t slots = std::clamp<size_t>(m_pageCount, 1, std::max<size_t>(kPageCacheBytes / pageSize, 16));
    m_cacheBytes = std::make_unique_for_overwrite<uint8_t[]>(slots * pageSize);
    m_cachedIndex.assign(slots, UINT32_MAX);
    m_runEnd = 0;
    m_runPages = 0;
  }

  // The free list: trunk pages chained from the header, each listing leaf
  // pages. A chain that loops, points outside the file or claims more leaves
  // than a page holds is cut where it stops making sense.
  std::vector<uint8_t> page;
  std::set<uint32_t> seenTrunks;
  const uint32_t maxLeavesPerTrunk = (m_usableSize - 8) / 4;
  uint32_t trunk = readBe32(header, 32);
  uint32_t leavesOutside = 0;
  while (trunk != 0) {
    if (trunk > m_pageCount) {
      m_freeListDamage = "the free list is cut: it points to page " + std::to_string(trunk) +
                         ", beyond the file's " + std::to_string(m_pageCount) + " pages";
      break;
    }
    if (!seenTrunks.insert(trunk).second) {
      m_freeListDamage = "the free list is cut where it loops back to page " + std::to_string(trunk);
      break;
    }
    if (readPage(trunk - 1, page) != kOk) {
      m_freeListDamage = "the free list is cut: its page " + std::to_string(trunk) + " cannot be read";
      break;
    }
    m_freeTrunkPages.push_back(trunk - 1);
    const std::span<const uint8_t> p(page);
    const uint32_t next = readBe32(p, 0);
    const uint32_t leafCount = std::min(readBe32(p, 4), maxLeavesPerTrunk);
    for (uint32_t i = 0; i < leafCount && m_freeLeafPages.size() < m_pageCount; ++i) {
      const uint32_t leaf = readBe32(p, 8 + 4 * static_cast<size_t>(i));
      if (leaf != 0 && leaf <= m_pageCount) {
        m_freeLeafPages.push_back(leaf - 1);
      } else {
        ++leavesOutside;
      }
    }
    trunk = next;
  }
  if (m_freeListDamage.empty() && leavesOutside != 0) {
    m_freeListDamage = "the free list names " + std::to_string(leavesOutside) + " pages outside the file";
  }
  return kOk;
}

int32_t SqliteFileReader::readPage(uint32_t index, std::vector<uint8_t>& buffer) const {
  std::span<const uint8_t> page;
  if (const int32_t r = viewPage(index, page); r != kOk) return r;
  buffer.assign(page.begin(), page.end());
  return kOk;
}

int32_t SqliteFileReader::viewPage(uint32_t index, std::span<const uint8_t>& page) const {
  page = {};
  if (m_memoryOpen) {
    const uint64_t offset = uint64_t{index} * m_pageSize;
    if (offset > m_memory.size() || m_pageSize > m_memory.size() - offset) return kShortRead;
    page = m_memory.subspan(static_cast<size_t>(offset), m_pageSize);
    return kOk;
  }
  if (!m_file.ok() || m_cachedIndex.empty()) return kInvalid;
  const size_t slot = index % m_cachedIndex.size();
  if (m_cachedIndex[slot] != index) {
    if (const int32_t r = readIntoCache(index); r != kOk) return r;
  }
  page = std::span<const uint8_t>(m_cacheBytes.get() + slot * m_pageSize, m_pageSize);
  return kOk;
}

int32_t SqliteFileReader::readIntoCache(uint32_t index) const {
  const size_t slots = m_cachedIndex.size();
  const size_t first = index % slots;
  // A miss just past the last run continues a walk through the file and
  // reads further ahead each time; any other starts small again, so reads
  // that jump about do not copy much more than they use.
  const size_t maxRun = std::max<size_t>(kReadAheadBytes / m_pageSize, 1);
  const bool onward = index >= m_runEnd && index - m_runEnd <= m_runPages;
  m_runPages = std::min(onward ? std::max(m_runPages * 2, kFirstRunPages) : kFirstRunPages, maxRun);
  // The run ends at the end of the slots (it never wraps), of the file as it
  // was opened, or before a page already there. A page beyond the file's end
  // is read alone, which fails unless the file has grown.
  size_t run = 1;
  if (index < m_pageCount) {
    const size_t limit = std::min({slots - first, size_t{m_pageCount - index}, m_runPages});
    while (run < limit && m_cachedIndex[first + run] != index + run) ++run;
  }
  std::fill_n(m_cachedIndex.begin() + static_cast<std::ptrdiff_t>(first), run, UINT32_MAX);
  const std::span<uint8_t> bytes(m_cacheBytes.get() + first * m_pageSize, run * m_pageSize);
  const uint64_t offset = uint64_t{index} * m_pageSize;
  size_t got = 0;
  int32_t error = m_file.readAt(offset, bytes, got);
  // An error may lie in the pages after this one: this one is read on its own.
  if (error != 0 && run > 1) error = m_file.readAt(offset, bytes.first(m_pageSize), got);
  if (error != 0 || got < m_pageSize) return kShortRead;
  // Only pages read whole are kept: the file may have shrunk since it was opened.
  const size_t whole = std::min(run, got / m_pageSize);
  for (size_t i = 0; i < whole; ++i) m_cachedIndex[first + i] = index + static_cast<uint32_t>(i);
  m_runEnd = index + static_cast<uint32_t>(run);
  return kOk;
}

uint8_t SqliteFileReader::pageType(std::span<const uint8_t> page, uint32_t pageIndex) {
  const size_t at = headerStart(pageIndex);
  return at < page.size() ? page[at] : 0;
}

std::vector<uint16_t> SqliteFileReader::cellOffsets(std::span<const uint8_t> page, uint32_t pageIndex) const {
  std::vector<uint16_t> offsets;
  const size_t hdr = headerStart(pageIndex);
  if (hdr + 12 > page.size()) return offsets;
  const uint16_t count = readBe16(page, hdr + 3);
  if (count == 1) {
    const uint32_t contentStart = readBe16(page, hdr + 5);
    if (contentStart > 0 && contentStart < page.size())
      offsets.push_back(static_cast<uint16_t>(contentStart));
    return offsets;
  }
  const size_t array = hdr + (page[hdr] == kInteriorTablePage ? 12 : 8);
  offsets.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const size_t at = array + 2 * i;
    if (at + 2 > page.size()) break;
    const uint16_t offset = readBe16(page, at);
    if (offset > 0 && offset < page.size()) offsets.push_back(offset);
  }
  return offsets;
}

ChildMap SqliteFileReader::childMap(std::span<const uint8_t> page, uint32_t pageIndex,
                                    const std::vector<uint16_t>& offsets) const {
  ChildMap children;
  for (const uint16_t offset : offsets) {
    if (size_t{offset} + 4 > page.size()) continue;
    const uint32_t child = readBe32(page, offset);
    const Varint key = readVarint(page.subspan(offset + 4u), static_cast<int64_t>(page.size()) - offset - 4);
    if (child != 0) children[child - 1] = static_cast<int64_t>(key.value);
  }
  const size_t hdr = headerStart(pageIndex);
  if (hdr + 12 <= page.size()) {
    const uint32_t rightMost = readBe32(page, hdr + 8);
    if (rightMost != 0) children[rightMost - 1] = -1;
  }
  return children;
}

void SqliteFileReader::scanSchemaLeaf(std::span<const uint8_t> page, uint32_t pageIndex,
                                      const std::string& tableName, bool byType,
                                      std::set<uint32_t>& roots) const {
  const auto pageEnd = static_cast<int64_t>(page.size());
  for (const uint16_t cell : cellOffsets(page, pageIndex)) {
    int64_t pos = cell;
    for (int skip = 0; skip < 2 && pos < pageEnd; ++skip) {  // payload length, row id
      pos += readVarint(page.subspan(static_cast<size_t>(pos)), pageEnd - pos).length;
    }
    if (pos >= pageEnd) continue;
    const Varint headerSize = readVarint(page.subspan(static_cast<size_t>(pos)), pageEnd - pos);
    if (headerSize.length == 0) continue;
    const int64_t headerStartPos = pos;
    const int64_t headerEnd = std::min<int64_t>(
        headerStartPos + static_cast<int64_t>(std::min<uint64_t>(headerSize.value, 65536)), pageEnd);
    int64_t typePos = pos + headerSize.length;
    int64_t content = headerEnd;
    bool matching = false;
    for (int column = 1; typePos < headerEnd && column <= 4; ++column) {
      const Varint type = readVarint(page.subspan(static_cast<size_t>(typePos)), headerEnd - typePos);
      if (type.length == 0) break;
      typePos += type.length;
      if (column == 4) {
        if (matching && type.value >= 1 && type.value <= 4) {
          const auto width = static_cast<int64_t>(type.value);
          if (content + width > pageEnd) break;
          uint32_t root = 0;
          for (int64_t i = 0; i < width; ++i) root = (root << 8) | page[static_cast<size_t>(content + i)];
          if (root != 0) roots.insert(root - 1);
        }
        break;
      }
      // Every column's content is stepped over, whatever its type; only texts
      // are names (the empty one too).
      const int64_t length = contentLength(type.value);
      if (length > pageEnd - content) break;
      // The name and table-name columns; the type column ("table", "index")
      // would make a table of that name claim every root of the schema. Only
      // the roots of every table are looked up by the type column.
      if ((byType ? column == 1 : column >= 2) && type.value >= 13 && type.value % 2 == 1 &&
          static_cast<size_t>(length) == tableName.size() &&
          std::memcmp(page.data() + content, tableName.data(), tableName.size()) == 0) {
        matching = true;
      }
      content += length;
    }
  }
}

void SqliteFileReader::findRootsBelow(std::span<const uint8_t> page, uint32_t pageIndex,
                                      const std::string& tableName, bool byType, std::set<uint32_t>& roots,
                                      std::set<uint32_t>& visited, int depth) const {
  const uint8_t type = pageType(page, pageIndex);
  if (type == kLeafTablePage) {
    scanSchemaLeaf(page, pageIndex, tableName, byType, roots);
    return;
  }
  if (type != kInteriorTablePage || depth >= kMaxTreeDepth) return;
  // The child map is taken before reading below: a child read may reuse the
  // cache slot of `page`.
  std::span<const uint8_t> child;
  for (const auto& [childIndex, key] : childMap(page, pageIndex, cellOffsets(page, pageIndex))) {
    if (!visited.insert(childIndex).second) continue;
    if (viewPage(childIndex, child) != 0) return;
    findRootsBelow(child, childIndex, tableName, byType, roots, visited, depth + 1);
  }
}

std::set<uint32_t> SqliteFileReader::findRoots(const std::string& tableName) const {
  std::set<uint32_t> roots;
  std::vector<uint8_t> page;
  if (readPage(0, page) != kOk) return roots;
  std::set<uint32_t> visited{0};
  findRootsBelow(page, 0, textFromUtf8(tableName, m_textEncoding), false, roots, visited, 0);
  return roots;
}

std::set<uint32_t> SqliteFileReader::tableRoots() const {
  std::set<uint32_t> roots;
  std::vector<uint8_t> page;
  if (readPage(0, page) != kOk) return roots;
  std::set<uint32_t> visited{0};
  findRootsBelow(page, 0, textFromUtf8("table", m_textEncoding), true, roots, visited, 0);
  return roots;
}

int32_t SqliteFileReader::collectLeavesBelow(std::span<const uint8_t> page, uint32_t pageIndex,
                                             PageMap& pageMap, std::set<uint32_t>& visited, int depth) const {
  const uint8_t type = pageType(page, pageIndex);
  if (type == kLeafTablePage) {
    pageMap[pageIndex] = cellOffsets(page, pageIndex);
    return kOk;
  }
  if (type != kInteriorTablePage || depth >= kMaxTreeDepth) return kOk;
  // As in findRootsBelow, `page` is not looked at once its children are read.
  std::span<const uint8_t> child;
  for (const auto& [childIndex, key] : childMap(page, pageIndex, cellOffsets(page, pageIndex))) {
    if (!visited.insert(childIndex).second) continue;  // a page met twice is a loop
    if (const int32_t r = viewPage(childIndex, child); r != kOk) return r;
    if (const int32_t r = collectLeavesBelow(child, childIndex, pageMap, visited, depth + 1); r != kOk)
      return r;
  }
  return kOk;
}

int32_t SqliteFileReader::collectLeaves(std::span<const uint8_t> page, uint32_t pageIndex,
                                        PageMap& pageMap) const {
  std::set<uint32_t> visited{pageIndex};
  return collectLeavesBelow(page, pageIndex, pageMap, visited, 0);
}

// The state of one damage walk: pages met, findings so far.
struct SqliteFileReader::DamageWalk {
  size_t limit;
  std::vector<std::string> found;
  std::set<uint32_t> visited;
  std::set<std::string> said;  // each kind of finding once per table
  std::string table;           // "the schema" or "a table (root page N)"
  bool full() const { return found.size() >= limit; }
  void note(const std::string& kind, const std::string& text) {
    if (!full() && said.insert(table + kind).second) found.push_back(table + ": " + text);
  }
};

void SqliteFileReader::findDamageBelow(std::span<const uint8_t> page, uint32_t pageIndex, DamageWalk& walk,
                                       int depth) const {
  const uint8_t type = pageType(page, pageIndex);
  if (type == kLeafTablePage) {
    size_t bad = 0;
    CellPayload payload;
    for (const uint16_t offset : cellOffsets(page, pageIndex)) {
      if (readCellPayload(page, offset, payload) != kOk) ++bad;
    }
    if (bad != 0) {
      walk.note("row", std::to_string(bad) + " rows on page " + std::to_string(pageIndex + 1) +
                           " are skipped (the cell or its overflow chain is cut)");
    }
    return;
  }
  if (type != kInteriorTablePage) {
    walk.note("type", "page " + std::to_string(pageIndex + 1) +
                          " is not a table page; the rows below it are skipped");
    return;
  }
  if (depth >= kMaxTreeDepth) {
    walk.note("depth",
              "the b-tree is deeper than " + std::to_string(kMaxTreeDepth) + " levels; the rest is skipped");
    return;
  }
  std::vector<uint8_t> child;
  for (const auto& [childIndex, key] : childMap(page, pageIndex, cellOffsets(page, pageIndex))) {
    if (walk.full()) return;
    if (childIndex >= m_pageCount) {
      walk.note("outside", "the b-tree points to page " + std::to_string(childIndex + 1) +
                               ", beyond the file's " + std::to_string(m_pageCount) +
                               " pages; the rows there are skipped");
      continue;
    }
    if (!walk.visited.insert(childIndex).second) {
      walk.note("loop",
                "the b-tree meets page " + std::to_string(childIndex + 1) + " twice; it is read once");
      continue;
    }
    if (readPage(childIndex, child) != kOk) {
      walk.note("read",
                "page " + std::to_string(childIndex + 1) + " cannot be read; the rows there are skipped");
      continue;
    }
    findDamageBelow(child, childIndex, walk, depth + 1);
  }
}

std::vector<std::string> SqliteFileReader::findDamage(size_t limit) const {
  DamageWalk walk{limit, {}, {}, {}, {}};
  if (!m_freeListDamage.empty()) walk.found.push_back(m_freeListDamage);
  std::vector<uint8_t> page;
  if (!isOpen() || readPage(0, page) != kOk) return walk.found;
  walk.table = "the schema";
  walk.visited.insert(0);
  findDamageBelow(page, 0, walk, 0);
  for (const uint32_t root : tableRoots()) {
    if (walk.full()) break;
    walk.table = "a table (root page " + std::to_string(root + 1) + ")";
    if (root >= m_pageCount) {
      walk.note("outside", "its root page lies beyond the file's " + std::to_string(m_pageCount) + " pages");
      continue;
    }
    if (!walk.visited.insert(root).second || readPage(root, page) != kOk) continue;
    findDamageBelow(page, root, walk, 0);
  }
  return walk.found;
}

int32_t SqliteFileReader::readCellPayload(std::span<const uint8_t> page, size_t offset,
                                          CellPayload& out) const {
  out = CellPayload{};
  const auto pageEnd = static_cast<int64_t>(page.size());
  int64_t pos = static_cast<int64_t>(offset);
  uint64_t payloadLength = 0;
  if (!readPayloadLength(page, pos, payloadLength) || pos >= pageEnd) return kInvalid;
  const Varint rowId =
      readVarint(page.subspan(static_cast<size_t>(pos)), std::min<int64_t>(9, pageEnd - pos));
  pos += rowId.length;
  if (rowId.length == 0 || (page[static_cast<size_t>(pos - 1)] & 0x80) != 0) return kInvalid;
  out.rowId = static_cast<int64_t>(rowId.value);

  return assemblePayload(page, pos, payloadLength, static_cast<int64_t>(m_usableSize) - 35, out);
}

int32_t SqliteFileReader::readIndexCellPayload(std::span<const uint8_t> page, size_t offset,
                                               CellPayload& out) const {
  out = CellPayload{};
  int64_t pos = static_cast<int64_t>(offset);
  uint64_t payloadLength = 0;
  if (!readPayloadLength(page, pos, payloadLength)) return kInvalid;
  const int64_t usable = m_usableSize;
  return assemblePayload(page, pos, payloadLength, ((usable - 12) * 64 / 255) - 23, out);
}

bool SqliteFileReader::readPayloadLength(std::span<const uint8_t> page, int64_t& pos, uint64_t& length) {
  const auto pageEnd = static_cast<int64_t>(page.size());
  if (pos < 0 || pos >= pageEnd) return false;
  const Varint v = readVarint(page.subspan(static_cast<size_t>(pos)), std::min<int64_t>(9, pageEnd - pos));
  if (v.length == 0) return false;
  pos += v.length;
  length = v.value;
  return true;
}

int32_t SqliteFileReader::assemblePayload(std::span<const uint8_t> page, int64_t pos, uint64_t length,
                                          int64_t maxLocal, CellPayload& out) const {
  const auto pageEnd = static_cast<int64_t>(page.size());
  // How much of a payload stays on its page is fixed by the file format; the
  // rest follows in a chain of overflow pages.
  const int64_t usable = m_usableSize;
  const int64_t total = static_cast<int64_t>(std::min<uint64_t>(length, uint64_t{1} << 40));
  int64_t local = total;
  if (total > maxLocal) {
    const int64_t minLocal = ((usable - 12) * 32 / 255) - 23;
    local = minLocal + (total - minLocal) % (usable - 4);
    if (local > maxLocal) local = minLocal;
  }
  if (pos > pageEnd || local > pageEnd - pos) return kInvalid;
  if (local == total) {
    out.bytes = page.subspan(static_cast<size_t>(pos), static_cast<size_t>(local));
    return kOk;
  }
  if (4 > pageEnd - pos - local) return kInvalid;
  // A chain can carry at most what the file's pages hold.
  const int64_t perPage = usable - 4;
  if ((total - local) / perPage > m_pageCount) return kInvalid;
  out.storage.reserve(static_cast<size_t>(total));
  out.storage.assign(page.begin() + pos, page.begin() + pos + local);
  uint32_t next = readBe32(page, static_cast<size_t>(pos + local));
  // `page` is not looked at from here on: an overflow page may take its
  // place in the cache.
  std::span<const uint8_t> overflow;
  std::set<uint32_t> seen;
  while (static_cast<int64_t>(out.storage.size()) < total) {
    if (next == 0 || next > m_pageCount || !seen.insert(next).second) return kInvalid;
    if (const int32_t r = viewPage(next - 1, overflow); r != kOk) return r;
    const int64_t want = std::min<int64_t>(perPage, total - static_cast<int64_t>(out.storage.size()));
    out.storage.insert(out.storage.end(), overflow.begin() + 4, overflow.begin() + 4 + want);
    next = readBe32(overflow, 0);
  }
  out.bytes = out.storage;
  return kOk;
}

int32_t SqliteFileReader::firstCellColumnCount(const PageMap& pageMap, int32_t& count,
                                               bool& firstPageEmpty) const {
  count = -1;
  firstPageEmpty = false;
  if (pageMap.empty()) return kOk;
  const auto& [pageIndex, offsets] = *pageMap.begin();
  if (offsets.empty()) {
    firstPageEmpty = true;
    return kOk;
  }
  std::vector<uint8_t> page;
  if (const int32_t r = readPage(pageIndex, page); r != kOk) return r;
  CellPayload payload;
  const int32_t r = readCellPayload(page, offsets.front(), payload);
  if (r == kInvalid) return kOk;  // an unreadable cell attributes the page to no table
  if (r != kOk) return r;
  const auto bytes = payload.bytes;
  const Varint headerSize = readVarint(bytes, std::min<int64_t>(9, static_cast<int64_t>(bytes.size())));
  if (headerSize.length == 0) return kOk;
  const int64_t headerEnd =
      std::min<int64_t>(static_cast<int64_t>(std::min<uint64_t>(headerSize.value, 1u << 20)),
                        static_cast<int64_t>(bytes.size()));
  int64_t pos = headerSize.length;
  int32_t types = 0;
  while (pos < headerEnd) {
    const Varint type = readVarint(bytes.subspan(static_cast<size_t>(pos)), headerEnd - pos);
    if (type.length == 0) break;
    pos += type.length;
    ++types;
  }
  count = types;
  return kOk;
}

}  // namespace fq

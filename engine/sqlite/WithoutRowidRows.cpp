#include "engine/sqlite/WithoutRowidRows.h"

#include <algorithm>
#include <set>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/sqlite/RecordFormat.h"
#include "engine/sqlite/RowParser.h"

namespace fq {

namespace {

// Real b-trees are a handful of levels deep; a deeper walk is a loop in a
// damaged file.
constexpr int kMaxDepth = 40;

class IndexTreeWalk {
 public:
  IndexTreeWalk(const SqliteFileReader& reader, const TableSchema& schema, const TableRowCallback& visit)
      : m_reader(reader),
        m_visit(visit),
        m_columnCount(schema.columnCount),
        m_declaredOf(withoutRowidStorageOrder(schema)) {}

  int32_t walk(uint32_t pageIndex, int depth) {
    if (depth > kMaxDepth || pageIndex >= m_reader.pageCount() || !m_visited.insert(pageIndex).second)
      return kOk;
    std::vector<uint8_t> page;
    if (const int32_t r = m_reader.readPage(pageIndex, page); r != kOk) return r;
    const std::span<const uint8_t> bytes(page);
    const uint8_t type = SqliteFileReader::pageType(bytes, pageIndex);
    if (type != kInteriorIndexPage && type != kLeafIndexPage) return kOk;
    const bool interior = type == kInteriorIndexPage;
    const size_t header = SqliteFileReader::headerStart(pageIndex);
    const size_t pointers = header + (interior ? 12 : 8);
    if (pointers > bytes.size()) return kOk;
    const size_t count = readBe16(bytes, header + 3);
    for (size_t i = 0; i < count; ++i) {
      const size_t at = pointers + 2 * i;
      if (at + 2 > bytes.size()) break;
      const size_t cell = readBe16(bytes, at);
      if (cell < pointers || cell >= bytes.size()) continue;
      size_t payload = cell;
      if (interior) {
        // The entries of the left child sort before this cell's own entry.
        if (cell + 4 > bytes.size()) continue;
        if (const uint32_t child = readBe32(bytes, cell); child != 0) {
          if (const int32_t r = walk(child - 1, depth + 1); r != kOk) return r;
        }
        payload += 4;
      }
      if (const int32_t r = emit(bytes, pageIndex, cell, payload); r != kOk) return r;
    }
    if (interior) {
      if (const uint32_t right = readBe32(bytes, header + 8); right != 0) return walk(right - 1, depth + 1);
    }
    return kOk;
  }

 private:
  int32_t emit(std::span<const uint8_t> page, uint32_t pageIndex, size_t cell, size_t payloadAt) {
    CellPayload payload;
    const int32_t r = m_reader.readIndexCellPayload(page, payloadAt, payload);
    if (r == kInvalid) return kOk;  // a damaged cell is skipped, the rest of the page read
    if (r != kOk) return r;
    if (!parseIntactRecord(payload.bytes, m_stored)) return kOk;
    m_row.columns.assign(static_cast<size_t>(std::max(m_columnCount, 0)), RowColumn{});
    for (size_t k = 0; k < m_stored.columns.size() && k < m_declaredOf.size(); ++k) {
      m_row.columns[static_cast<size_t>(m_declaredOf[k])] = m_stored.columns[k];
    }
    // Columns added after the record was written are the last declared ones
    // (never of the key), so a short record leaves them off the end.
    if (m_stored.columns.size() < m_declaredOf.size()) {
      m_row.columns.resize(m_row.columns.size() - (m_declaredOf.size() - m_stored.columns.size()));
    }
    m_row.page = pageIndex;
    m_row.offset = static_cast<uint32_t>(cell);
    m_row.headerSize = m_stored.headerSize;
    m_row.headerSizeLength = m_stored.headerSizeLength;
    m_visit(m_row);
    return kOk;
  }

  const SqliteFileReader& m_reader;
  const TableRowCallback& m_visit;
  int32_t m_columnCount;
  std::vector<int32_t> m_declaredOf;  // stored position -> declared column
  std::set<uint32_t> m_visited;
  TableRow m_stored;
  TableRow m_row;
};

}  // namespace

std::vector<int32_t> withoutRowidStorageOrder(const TableSchema& schema) {
  std::vector<int32_t> order;
  std::vector<bool> placed(static_cast<size_t>(std::max(schema.columnCount, 0)), false);
  for (const int32_t c : schema.primaryKey) {
    if (c < 0 || c >= schema.columnCount || placed[static_cast<size_t>(c)]) continue;
    placed[static_cast<size_t>(c)] = true;
    order.push_back(c);
  }
  for (int32_t c = 0; c < schema.columnCount; ++c) {
    if (!placed[static_cast<size_t>(c)]) order.push_back(c);
  }
  return order;
}

int32_t ReadWithoutRowidRows(const SqliteFileReader& reader, const TableSchema& schema,
                             const TableRowCallback& visit) {
  if (!reader.isOpen()) return kInvalid;
  if (schema.rootPage == 0 || schema.columnCount <= 0) return kOk;
  IndexTreeWalk walk(reader, schema, visit);
  return walk.walk(schema.rootPage - 1, 0);
}

}  // namespace fq

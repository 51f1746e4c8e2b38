#include "engine/sqlite/VirtualTableRows.h"

#include <algorithm>
#include <bit>
#include <map>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/platform/Text.h"
#include "engine/sqlite/ColumnValues.h"
#include "engine/sqlite/TableReader.h"
#include "engine/sqlite/TextEncoding.h"
#include "engine/sqlite/VirtualTableModule.h"

namespace fq {

namespace {

// The library's own limit on an rtree's depth; a deeper root is damage.
constexpr int kMaxRtreeDepth = 40;

// An ordinary live table named `name` (any case, as the library names its
// shadow tables after the virtual table); nullptr when there is none, or when
// the first table of that name is not a rowid table with a b-tree of its own.
const TableSchema* liveTable(const std::vector<TableSchema>& tables, std::string_view name) {
  const auto at = std::find_if(tables.begin(), tables.end(),
                               [&](const TableSchema& t) { return CompareNoCase(t.name, name) == 0; });
  if (at == tables.end() || at->isVirtual || at->withoutRowId || at->rootPage == 0) return nullptr;
  return &*at;
}

ColumnValue valueOf(const RowColumn* column, TextEncoding encoding) {
  if (column == nullptr) return {};
  ColumnValue v = columnValue(*column);
  if (v.kind == ColumnValue::Kind::Text && encoding != TextEncoding::Utf8) {
    v.bytes = textToUtf8(column->bytes, encoding);
  }
  return v;
}

// A live row of the virtual table, placed where the row it is read from lies.
template <typename Row>
GenericRow liveRowAt(const Row& row) {
  GenericRow out;
  out.page = row.page;
  out.offset = row.offset;
  out.rowId = row.rowId;
  return out;
}

// A full scan of a full-text table runs in docid order (fts4's order=desc
// turns it round).
void visitInRowIdOrder(std::vector<GenericRow>& rows, bool descending, const GenericRowCallback& visit) {
  std::stable_sort(rows.begin(), rows.end(), [descending](const GenericRow& a, const GenericRow& b) {
    return descending ? b.rowId < a.rowId : a.rowId < b.rowId;
  });
  for (const GenericRow& row : rows) visit(row);
}

// Own content: <name>_content holds the docid, then one column per declared
// column in declared order (fts4 puts its language id after them).
int32_t readOwnContent(SqliteFileReader& reader, const TableSchema& content, const VirtualTableLayout& layout,
                       const GenericRowCallback& visit) {
  const TextEncoding encoding = reader.textEncoding();
  std::vector<GenericRow> rows;
  const int32_t result = ReadLiveRows(reader, content.rootPage - 1, [&](const TableRow& row) {
    GenericRow out = liveRowAt(row);
    for (size_t c = 0; c < layout.columns.size(); ++c) {
      out.values.push_back(valueOf(row.column(static_cast<int32_t>(c) + 1), encoding));
    }
    rows.push_back(std::move(out));
  });
  visitInRowIdOrder(rows, layout.descending, visit);
  return result;
}

// External content: the library selects the full-text table's column names
// from the named table. Only an ordinary table that has every one of them is
// read; a view, or a table without them, gives nothing.
int32_t readExternalContent(SqliteFileReader& reader, const TableSchema& content,
                            const VirtualTableLayout& layout, const GenericRowCallback& visit) {
  std::vector<int32_t> positions;
  for (const std::string& name : layout.columns) {
    const int32_t at = content.columnIndex(name);
    if (at < 0) return kOk;
    positions.push_back(at);
  }
  std::vector<GenericRow> rows;
  const int32_t result = ReadGenericRows(reader, content, [&](const GenericRow& row) {
    if (row.deleted != 0) return;
    GenericRow out = liveRowAt(row);
    for (const int32_t at : positions) {
      const int64_t i = int64_t{at} - row.firstColumn;
      const bool present = i >= 0 && i < static_cast<int64_t>(row.values.size());
      out.values.push_back(present ? row.values[static_cast<size_t>(i)] : ColumnValue{});
    }
    rows.push_back(std::move(out));
  });
  visitInRowIdOrder(rows, layout.descending, visit);
  return result;
}

int32_t readFullText(SqliteFileReader& reader, const std::vector<TableSchema>& tables,
                     const TableSchema& schema, const VirtualTableLayout& layout,
                     const GenericRowCallback& visit) {
  switch (layout.content) {
    case FtsContent::None:
      return kOk;
    case FtsContent::External: {
      const TableSchema* content = liveTable(tables, layout.contentTable);
      return content == nullptr ? kOk : readExternalContent(reader, *content, layout, visit);
    }
    case FtsContent::Own: {
      const TableSchema* content = liveTable(tables, schema.name + "_content");
      return content == nullptr ? kOk : readOwnContent(reader, *content, layout, visit);
    }
  }
  return kOk;
}

uint32_t bigEndian32(std::span<const uint8_t> bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

// An rtree's nodes: each a blob of a 2-byte depth (meaningful in the root,
// node 1), a 2-byte cell count, then cells of an 8-byte row id (an inner
// node's child node number) and two 4-byte coordinates per dimension, all
// big-endian. The walk goes down from the root in cell order, as the
// library's full scan does; a node seen before, missing, or whose cells run
// past its blob ends its branch there.
class RtreeWalk {
 public:
  RtreeWalk(const VirtualTableLayout& layout, const GenericRowCallback& visit)
      : m_layout(layout), m_visit(visit), m_cellSize(8 + 4 * static_cast<size_t>(layout.coordinates)) {}

  struct Node {
    std::vector<uint8_t> data;
    uint32_t page = 0;
    uint32_t offset = 0;
  };
  std::map<int64_t, Node> nodes;
  std::map<int64_t, std::vector<ColumnValue>> auxiliary;  // by row id, from <name>_rowid

  void run() {
    const auto root = nodes.find(1);
    if (root == nodes.end() || root->second.data.size() < 4) return;
    const int depth = (root->second.data[0] << 8) | root->second.data[1];
    if (depth > kMaxRtreeDepth) return;
    walk(1, depth);
  }

 private:
  void walk(int64_t number, int depth) {
    if (!m_seen.insert(number).second) return;
    const auto found = nodes.find(number);
    if (found == nodes.end()) return;
    const Node& node = found->second;
    const std::span<const uint8_t> data(node.data);
    if (data.size() < 4) return;
    // A count the blob cannot hold is damage (the library refuses such a
    // node); the cells past the real ones would be invented rows.
    const size_t count = (size_t{data[2]} << 8) | data[3];
    if (count > (data.size() - 4) / m_cellSize) return;
    for (size_t i = 0; i < count; ++i) {
      const std::span<const uint8_t> cell = data.subspan(4 + i * m_cellSize, m_cellSize);
      const auto id =
          static_cast<int64_t>((uint64_t{bigEndian32(cell)} << 32) | bigEndian32(cell.subspan(4)));
      if (depth > 0) {
        walk(id, depth - 1);
      } else {
        visitLeafCell(node, id, cell.subspan(8));
      }
    }
  }

  void visitLeafCell(const Node& node, int64_t id, std::span<const uint8_t> coordinates) {
    GenericRow row;
    row.page = node.page;
    row.offset = node.offset;
    row.rowId = id;
    ColumnValue v;
    v.kind = ColumnValue::Kind::Integer;
    v.integer = id;
    row.values.push_back(v);
    for (size_t c = 0; c + 4 <= coordinates.size(); c += 4) {
      const uint32_t bits = bigEndian32(coordinates.subspan(c));
      ColumnValue coordinate;
      if (m_layout.module == VirtualModule::RtreeInt32) {
        coordinate.kind = ColumnValue::Kind::Integer;
        coordinate.integer = static_cast<int32_t>(bits);
      } else {
        coordinate.kind = ColumnValue::Kind::Real;
        coordinate.real = static_cast<double>(std::bit_cast<float>(bits));
      }
      row.values.push_back(coordinate);
    }
    const auto aux = auxiliary.find(id);
    for (int32_t a = 0; a < m_layout.auxiliary; ++a) {
      const bool present = aux != auxiliary.end() && static_cast<size_t>(a) < aux->second.size();
      row.values.push_back(present ? aux->second[static_cast<size_t>(a)] : ColumnValue{});
    }
    m_visit(row);
  }

  const VirtualTableLayout& m_layout;
  const GenericRowCallback& m_visit;
  size_t m_cellSize;
  std::set<int64_t> m_seen;
};

int32_t readRtree(SqliteFileReader& reader, const std::vector<TableSchema>& tables, const TableSchema& schema,
                  const VirtualTableLayout& layout, const GenericRowCallback& visit) {
  const TableSchema* nodeTable = liveTable(tables, schema.name + "_node");
  if (nodeTable == nullptr) return kOk;
  RtreeWalk walk(layout, visit);
  int32_t result = ReadLiveRows(reader, nodeTable->rootPage - 1, [&](const TableRow& row) {
    const RowColumn* data = row.column(1);
    if (data == nullptr || data->serialType < 12 || data->serialType % 2 != 0) return;
    walk.nodes.try_emplace(row.rowId,
                           RtreeWalk::Node{{data->bytes.begin(), data->bytes.end()}, row.page, row.offset});
  });
  // <name>_rowid: the row id, its leaf node, then the auxiliary columns.
  const TableSchema* rowIdTable = layout.auxiliary > 0 ? liveTable(tables, schema.name + "_rowid") : nullptr;
  if (rowIdTable != nullptr) {
    const TextEncoding encoding = reader.textEncoding();
    const int32_t read = ReadLiveRows(reader, rowIdTable->rootPage - 1, [&](const TableRow& row) {
      std::vector<ColumnValue> values;
      values.reserve(static_cast<size_t>(layout.auxiliary));
      for (int32_t a = 0; a < layout.auxiliary; ++a) values.push_back(valueOf(row.column(a + 2), encoding));
      walk.auxiliary.try_emplace(row.rowId, std::move(values));
    });
    if (result == kOk) result = read;
  }
  walk.run();
  return result;
}

}  // namespace

int32_t ReadVirtualTableRows(SqliteFileReader& reader, const TableSchema& schema,
                             const GenericRowCallback& visit) {
  const VirtualTableLayout layout = LayoutOfVirtualTable(schema.module, schema.moduleArguments);
  if (layout.module == VirtualModule::Unknown) return kOk;
  const std::vector<TableSchema> tables = LiveTables(reader);
  switch (layout.module) {
    case VirtualModule::Fts3:
    case VirtualModule::Fts4:
    case VirtualModule::Fts5:
      return readFullText(reader, tables, schema, layout, visit);
    case VirtualModule::Rtree:
    case VirtualModule::RtreeInt32:
      return readRtree(reader, tables, schema, layout, visit);
    case VirtualModule::Unknown:
      break;
  }
  return kOk;
}

}  // namespace fq

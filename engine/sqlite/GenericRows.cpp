#include "engine/sqlite/GenericRows.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "engine/platform/Text.h"
#include "engine/sqlite/RecordFormat.h"
#include "engine/sqlite/RowParser.h"
#include "engine/sqlite/TableReader.h"
#include "engine/sqlite/TextEncoding.h"
#include "engine/sqlite/WithoutRowidRows.h"

namespace fq {

namespace {

// Values as SELECT * gives them: a REAL column holds reals even where the
// record stores an integer (as it does for whole numbers, to save space), and
// columns a live record lacks, added after it was written, take their
// default. Carved rows get the same reading so they compare with live ones.
void readAsTheLibraryDoes(GenericRow& row, const TableSchema& schema) {
  if (row.deleted == 0 && row.firstColumn == 0) {
    for (size_t c = row.values.size(); c < static_cast<size_t>(std::max(schema.columnCount, 0)); ++c) {
      row.values.push_back(c < schema.defaults.size() ? schema.defaults[c] : ColumnValue{});
    }
  }
  for (size_t i = 0; i < row.values.size(); ++i) {
    const size_t c = i + static_cast<size_t>(row.firstColumn);
    ColumnValue& v = row.values[i];
    if (c < schema.affinities.size() && schema.affinities[c] == Affinity::Real &&
        v.kind == ColumnValue::Kind::Integer) {
      v.kind = ColumnValue::Kind::Real;
      v.real = static_cast<double>(v.integer);
      v.integer = 0;
    }
  }
}

GenericRow toGeneric(const TableRow& row, const TableSchema& schema, TextEncoding encoding) {
  GenericRow out;
  out.deleted = row.deleted;
  out.source = row.source;
  out.page = row.page;
  out.offset = row.offset;
  out.rowId = row.rowId;
  out.firstColumn = row.firstColumn;
  for (size_t i = 0; i < row.columns.size(); ++i) {
    ColumnValue v = columnValue(row.columns[i]);
    if (v.kind == ColumnValue::Kind::Text && encoding != TextEncoding::Utf8) {
      v.bytes = textToUtf8(row.columns[i].bytes, encoding);
    }
    const auto c = static_cast<int32_t>(i) + row.firstColumn;
    if (!row.carved && c == schema.rowIdColumn && v.kind == ColumnValue::Kind::Null) {
      v.kind = ColumnValue::Kind::Integer;
      v.integer = row.rowId;
    }
    out.values.push_back(std::move(v));
  }
  readAsTheLibraryDoes(out, schema);
  return out;
}

// The serial type a first column of `length` content bytes most likely had,
// given its declared affinity; 0 when the length fits no value of it.
uint64_t firstColumnType(int64_t length, Affinity affinity, std::span<const uint8_t> content) {
  const bool numeric =
      affinity == Affinity::Integer || affinity == Affinity::Real || affinity == Affinity::Numeric;
  if (numeric) {
    if (length == 8) return affinity == Affinity::Real ? 7 : 6;
    if (length >= 1 && length <= 4) return static_cast<uint64_t>(length);
    if (length == 6) return 5;
    return 0;
  }
  if (length <= 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(content.data()), content.size());
  if (affinity == Affinity::Text || IsAcceptedText(text)) {
    return IsAcceptedText(text) ? static_cast<uint64_t>(length) * 2 + 13 : 0;
  }
  return static_cast<uint64_t>(length) * 2 + 12;
}

// Readings of a carved row other than the carving's own: all n types present
// (the cell header, not the first type, was overwritten), or n - 1 types with
// the first column's length taken from the size of the free block.
bool rereadCarvedRow(const TableRow& row, const TableSchema& schema, TableRow& out) {
  const std::span<const uint8_t> page = row.pageBytes;
  const int32_t n = schema.columnCount;
  if (page.empty() || row.offset >= page.size() || n <= 0) return false;
  const std::span<const uint8_t> bytes = page.subspan(row.offset);
  const int64_t blockSize =
      (row.block != 0 && row.block + 4u <= page.size()) ? readBe16(page, row.block + 2u) : 0;
  const int64_t lead = static_cast<int64_t>(row.offset) - row.block;  // bytes of the cell before the types
  auto recordBytes = [](const TableRow& r, int64_t typeListLength) {
    int64_t content = 0;
    for (const RowColumn& c : r.columns) content += static_cast<int64_t>(c.bytes.size());
    return typeListLength + content;
  };

  TableRow all = row;
  int64_t typeList = 0;
  const bool allFits = parseRecordTypes(bytes, n, 0, 0, all, typeList) && IsPlausibleRow(all, schema);
  if (allFits && blockSize != 0 && lead + recordBytes(all, typeList) == blockSize) {
    out = std::move(all);
    return true;
  }
  if (blockSize != 0 && row.offset == row.block + 4u && n >= 2) {
    TableRow rest = row;
    int64_t restTypes = 0;
    if (parseRecordTypes(bytes, n - 1, 1, 0, rest, restTypes)) {
      const int64_t firstLength = blockSize - 4 - recordBytes(rest, restTypes);
      const Affinity affinity = schema.affinities.empty() ? Affinity::Blob : schema.affinities[0];
      if (firstLength > 0 && firstLength <= static_cast<int64_t>(bytes.size()) - restTypes) {
        const std::span<const uint8_t> first =
            bytes.subspan(static_cast<size_t>(restTypes), static_cast<size_t>(firstLength));
        const uint64_t type = firstColumnType(firstLength, affinity, first);
        TableRow shifted = row;
        int64_t unused = 0;
        if (type != 0 && parseRecordTypes(bytes, n - 1, 1, firstLength, shifted, unused)) {
          shifted.firstColumn = 0;
          shifted.columns.insert(shifted.columns.begin(), RowColumn{type, first});
          if (IsPlausibleRow(shifted, schema)) {
            out = std::move(shifted);
            return true;
          }
        }
      }
    }
  }
  if (allFits && row.firstColumn == 1 && !IsPlausibleRow(row, schema)) {
    out = std::move(all);
    return true;
  }
  return false;
}

// A hash of the values from column `from` on; equal values hash equal.
uint64_t valuesHash(const std::vector<ColumnValue>& values, size_t from, uint64_t seed = 0) {
  std::string key;
  key.append(reinterpret_cast<const char*>(&seed), sizeof seed);
  for (size_t i = from; i < values.size(); ++i) {
    const ColumnValue& v = values[i];
    key.push_back(static_cast<char>(v.kind));
    key.append(reinterpret_cast<const char*>(&v.integer), sizeof v.integer);
    key.append(reinterpret_cast<const char*>(&v.real), sizeof v.real);
    const uint64_t length = v.bytes.size();
    key.append(reinterpret_cast<const char*>(&length), sizeof length);
    key += v.bytes;
  }
  return std::hash<std::string_view>{}(key);
}

// Hashes collected first and asked about afterwards: one sort serves all.
class HashSet {
 public:
  void add(uint64_t h) {
    m_hashes.push_back(h);
    m_sorted = false;
  }
  bool contains(uint64_t h) {
    if (!m_sorted) {
      std::sort(m_hashes.begin(), m_hashes.end());
      m_sorted = true;
    }
    return std::binary_search(m_hashes.begin(), m_hashes.end(), h);
  }

 private:
  std::vector<uint64_t> m_hashes;
  bool m_sorted = true;
};

}  // namespace

int32_t ReadGenericRows(SqliteFileReader& reader, const TableSchema& schema,
                        const GenericRowCallback& visit) {
  const TextEncoding encoding = reader.textEncoding();
  // A virtual table's rows are its module's; the tables that store them are
  // listed, and read, on their own.
  if (schema.isVirtual) return 0;
  if (schema.withoutRowId) {
    return ReadWithoutRowidRows(reader, schema,
                                [&](const TableRow& row) { visit(toGeneric(row, schema, encoding)); });
  }
  // Live rows by value, whole and without their first column: a carved row
  // re-read here can only now be recognised as a stale copy of one of them.
  HashSet live;
  HashSet liveFromSecond;
  std::unordered_set<uint64_t> seen;  // carved rows already given, per page
  return ReadTableRows(reader, schema.name, schema.columnCount, [&](const TableRow& row) {
    if (row.deleted == 0) {
      GenericRow out = toGeneric(row, schema, encoding);
      // The row id alias of a carved copy is stored as NULL.
      std::vector<ColumnValue> stored = out.values;
      if (schema.rowIdColumn >= 0 && static_cast<size_t>(schema.rowIdColumn) < stored.size()) {
        stored[static_cast<size_t>(schema.rowIdColumn)] = ColumnValue{};
      }
      live.add(valuesHash(stored, 0));
      liveFromSecond.add(valuesHash(stored, 1));
      visit(out);
      return;
    }
    if (!row.carved) {
      if (IsPlausibleRow(row, schema)) visit(toGeneric(row, schema, encoding));
      return;
    }
    TableRow reread;
    const TableRow* chosen = nullptr;
    if (rereadCarvedRow(row, schema, reread)) {
      chosen = &reread;
    } else if (IsPlausibleRow(row, schema)) {
      chosen = &row;
    }
    if (chosen == nullptr) return;
    GenericRow out = toGeneric(*chosen, schema, encoding);
    if (out.firstColumn == 0 ? live.contains(valuesHash(out.values, 0))
                             : liveFromSecond.contains(valuesHash(out.values, 0))) {
      return;
    }
    if (out.firstColumn == 0 && schema.rowIdColumn == 0 && liveFromSecond.contains(valuesHash(out.values, 1)))
      return;
    if (!seen.insert(valuesHash(out.values, 0,
                                (uint64_t{row.page} << 1) | static_cast<uint64_t>(out.firstColumn)))
             .second) {
      return;
    }
    visit(out);
  });
}

}  // namespace fq

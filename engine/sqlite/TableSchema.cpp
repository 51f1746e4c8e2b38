#include "engine/sqlite/TableSchema.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>

#include "engine/ResultCodes.h"
#include "engine/platform/Text.h"
#include "engine/sqlite/ColumnValues.h"
#include "engine/sqlite/FreeRegions.h"
#include "engine/sqlite/RecordScan.h"
#include "engine/sqlite/TableReader.h"
#include "engine/sqlite/TableSignature.h"

namespace fq {

namespace {

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Splits the text between the outermost parentheses at top-level commas,
// honouring quotes and nested parentheses.
std::vector<std::string_view> columnDefinitions(std::string_view sql) {
  std::vector<std::string_view> parts;
  size_t open = std::string_view::npos;
  char quote = 0;
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"' || c == '`') {
      quote = c;
    } else if (c == '[') {
      quote = ']';
    } else if (c == '(') {
      if (depth++ == 0) {
        open = i;
        start = i + 1;
      }
    } else if (c == ')') {
      if (--depth == 0) {
        parts.push_back(sql.substr(start, i - start));
        return parts;
      }
      if (depth < 0) break;
    } else if (c == ',' && depth == 1) {
      parts.push_back(sql.substr(start, i - start));
      start = i + 1;
    }
  }
  (void)open;
  return {};  // unbalanced: not a statement we can read
}

// The first word of a definition, without quotes.
std::string firstWord(std::string_view def, std::string_view* rest) {
  def = trim(def);
  if (def.empty()) return {};
  const char q = def.front();
  const char close = q == '[' ? ']' : q;
  if (q == '"' || q == '\'' || q == '`' || q == '[') {
    const size_t end = def.find(close, 1);
    if (end == std::string_view::npos) return std::string(def.substr(1));
    if (rest) *rest = def.substr(end + 1);
    return std::string(def.substr(1, end - 1));
  }
  size_t end = 0;
  while (end < def.size() && !std::isspace(static_cast<unsigned char>(def[end])) && def[end] != '(') ++end;
  if (rest) *rest = def.substr(end);
  return std::string(def.substr(0, end));
}

// The declared type: the words after the column name up to the first
// constraint keyword.
std::string declaredType(std::string_view rest) {
  static const char* kConstraints[] = {"CONSTRAINT", "PRIMARY", "NOT",        "NULL",      "UNIQUE", "CHECK",
                                       "DEFAULT",    "COLLATE", "REFERENCES", "GENERATED", "AS"};
  std::string type;
  std::string_view tail = rest;
  while (true) {
    std::string_view next;
    const std::string word = firstWord(tail, &next);
    if (word.empty()) break;
    const std::string w = upper(word);
    bool stop = false;
    for (const char* k : kConstraints) stop = stop || w == k;
    if (stop) break;
    type += (type.empty() ? "" : " ") + w;
    tail = next;
    // A size such as (10) or (10, 2) belongs to the type.
    const std::string_view trimmed = trim(tail);
    if (!trimmed.empty() && trimmed.front() == '(') {
      const size_t close = trimmed.find(')');
      if (close == std::string_view::npos) break;
      tail = trimmed.substr(close + 1);
    }
  }
  return type;
}

}  // namespace

Affinity AffinityOf(std::string_view declaredType) {
  const std::string t = upper(declaredType);
  if (t.find("INT") != std::string::npos) return Affinity::Integer;
  if (t.find("CHAR") != std::string::npos || t.find("CLOB") != std::string::npos ||
      t.find("TEXT") != std::string::npos) {
    return Affinity::Text;
  }
  if (t.empty() || t.find("BLOB") != std::string::npos) return Affinity::Blob;
  if (t.find("REAL") != std::string::npos || t.find("FLOA") != std::string::npos ||
      t.find("DOUB") != std::string::npos) {
    return Affinity::Real;
  }
  return Affinity::Numeric;
}

bool IsPlausibleRow(const TableRow& row, const TableSchema& schema) {
  if (row.firstColumn + static_cast<int64_t>(row.columns.size()) != schema.columnCount) return false;
  for (size_t i = 0; i < row.columns.size(); ++i) {
    const auto c = static_cast<int32_t>(i) + row.firstColumn;
    const RowColumn& column = row.columns[i];
    const uint64_t t = column.serialType;
    if (t == 10 || t == 11) return false;
    if (c == schema.rowIdColumn && t != 0) return false;
    const bool number = t >= 1 && t <= 9;
    const bool text = t >= 13 && t % 2 == 1;
    if (text && !IsAcceptedText(columnText(&column))) return false;
    if (static_cast<size_t>(c) >= schema.affinities.size()) continue;
    switch (schema.affinities[static_cast<size_t>(c)]) {
      case Affinity::Text:
        if (number) return false;
        break;
      case Affinity::Integer:
      case Affinity::Real:
        // Legal but so rare in typed numeric columns that a blob there is
        // almost always text bytes read as serial types.
        if (text || (t >= 12 && t % 2 == 0)) return false;
        break;
      default:
        break;
    }
  }
  return true;
}

TableSchema ParseCreateTable(std::string_view sql) {
  TableSchema schema;
  schema.sql = std::string(sql);
  const std::string head = upper(sql.substr(0, sql.find('(')));
  if (head.find("CREATE") == std::string::npos || head.find("VIRTUAL") != std::string::npos) return schema;
  std::vector<std::string> names;
  std::string primaryKeyColumn;
  int32_t declaredPrimaryKey = -1;
  for (const std::string_view def : columnDefinitions(sql)) {
    std::string_view rest;
    const std::string word = upper(firstWord(def, &rest));
    if (word == "CONSTRAINT" || word == "PRIMARY" || word == "UNIQUE" || word == "CHECK" ||
        word == "FOREIGN") {
      if (word == "PRIMARY") {
        // PRIMARY KEY (one column) names the row id alias when that column is INTEGER.
        const std::vector<std::string_view> keys = columnDefinitions(def);
        if (keys.size() == 1) primaryKeyColumn = upper(firstWord(keys[0], nullptr));
      }
      continue;
    }
    if (trim(def).empty()) continue;
    std::string_view afterType;
    const std::string type = upper(firstWord(rest, &afterType));
    schema.affinities.push_back(AffinityOf(declaredType(rest)));
    const std::string constraints = upper(rest);
    schema.notNull.push_back(constraints.find("NOT NULL") != std::string::npos ? 1 : 0);
    if (type == "INTEGER" && constraints.find("PRIMARY") != std::string::npos &&
        constraints.find("DESC") == std::string::npos) {
      declaredPrimaryKey = static_cast<int32_t>(names.size());
    }
    names.push_back(word);
  }
  schema.columnCount = static_cast<int32_t>(names.size());
  schema.columnNames = names;
  if (declaredPrimaryKey >= 0) {
    schema.rowIdColumn = declaredPrimaryKey;
  } else if (!primaryKeyColumn.empty()) {
    for (size_t i = 0; i < names.size(); ++i) {
      if (names[i] != primaryKeyColumn) continue;
      // Only a column declared exactly INTEGER is an alias of the row id.
      const std::vector<std::string_view> defs = columnDefinitions(sql);
      std::string_view rest;
      firstWord(defs[i], &rest);
      if (upper(firstWord(rest, nullptr)) == "INTEGER") schema.rowIdColumn = static_cast<int32_t>(i);
    }
  }
  if (upper(sql).find("WITHOUT ROWID") != std::string::npos) schema.rowIdColumn = -1;
  return schema;
}

namespace {

// The table a live or carved schema row declares; columnCount 0 for any
// other schema row.
TableSchema tableOfSchemaRow(const TableRow& row) {
  if (columnText(row.column(0)) != "table") return {};
  const std::string_view name = columnText(row.column(1));
  if (name.empty() || !IsAcceptedText(name)) return {};
  TableSchema schema = ParseCreateTable(columnText(row.column(4)));
  schema.name = std::string(name);
  const std::optional<int64_t> root = columnInteger(row.column(3));
  if (root && *root > 0 && *root <= UINT32_MAX) schema.rootPage = static_cast<uint32_t>(*root);
  return schema;
}

}  // namespace

std::vector<TableSchema> ListTables(const SqliteFileReader& reader) {
  std::vector<TableSchema> tables;
  ReadLiveRows(reader, 0, [&tables](const TableRow& row) {
    if (columnText(row.column(0)) != "table") return;
    const std::string_view name = columnText(row.column(1));
    if (name.empty() || !IsAcceptedText(name)) return;
    TableSchema schema = tableOfSchemaRow(row);
    schema.name = std::string(name);
    tables.push_back(std::move(schema));
  });
  for (TableSchema& dropped : DroppedTables(reader)) tables.push_back(std::move(dropped));
  return tables;
}

std::vector<TableSchema> DroppedTables(const SqliteFileReader& reader) {
  std::vector<TableSchema> dropped;
  std::vector<std::string> liveNames;
  std::vector<uint8_t> page;
  PageMap schemaPages;
  if (reader.readPage(0, page) != kOk) return dropped;
  if (reader.collectLeaves(page, 0, schemaPages) != kOk && schemaPages.empty()) return dropped;
  ReadLiveRows(reader, 0,
               [&liveNames](const TableRow& row) { liveNames.emplace_back(columnText(row.column(1))); });
  // The schema table's own layout: type, name, tbl_name, rootpage, sql.
  const TableSchema master = ParseCreateTable(
      "CREATE TABLE sqlite_master(type text, name text, tbl_name text, rootpage integer, sql text)");
  TableSignature signature = SignatureOf(master, 0);
  signature.utf8 = reader.textIsUtf8();
  RecordScanner scanner(signature);
  TableRow row;
  for (const auto& [pageIndex, offsets] : schemaPages) {
    if (reader.readPage(pageIndex, page) != kOk) continue;
    const std::vector<FreeRegion> regions =
        FreeRegionsOf(page, pageIndex, reader.usableSize(), FreePageKind::TreeLeaf);
    for (const RecordReading& reading : scanner.scan(page, regions)) {
      if (!scanner.columnsOf(page, reading, row.columns)) continue;
      TableSchema schema = tableOfSchemaRow(row);
      if (schema.columnCount == 0 || schema.rootPage == 0 || schema.rootPage > reader.pageCount()) continue;
      const auto known = [&schema](std::string_view other) { return CompareNoCase(other, schema.name) == 0; };
      if (std::any_of(liveNames.begin(), liveNames.end(), known) ||
          std::any_of(dropped.begin(), dropped.end(), [&](const TableSchema& t) { return known(t.name); })) {
        continue;
      }
      schema.dropped = true;
      dropped.push_back(std::move(schema));
    }
  }
  return dropped;
}

TableSchema FindTable(const SqliteFileReader& reader, std::string_view name) {
  TableSchema found;
  ReadLiveRows(reader, 0, [&found, name](const TableRow& row) {
    if (found.columnCount > 0 || columnText(row.column(0)) != "table") return;
    if (CompareNoCase(columnText(row.column(1)), name) != 0) return;
    TableSchema schema = tableOfSchemaRow(row);
    schema.name = std::string(name);
    if (schema.columnCount > 0) found = std::move(schema);
  });
  if (found.columnCount > 0) return found;
  for (TableSchema& dropped : DroppedTables(reader)) {
    if (CompareNoCase(dropped.name, name) == 0) return std::move(dropped);
  }
  return found;
}

int32_t TableSchema::columnIndex(std::string_view wanted) const {
  for (size_t i = 0; i < columnNames.size(); ++i) {
    if (CompareNoCase(columnNames[i], wanted) == 0) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace fq

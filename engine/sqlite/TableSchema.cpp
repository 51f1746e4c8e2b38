#include "engine/sqlite/TableSchema.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "engine/ResultCodes.h"
#include "engine/platform/Text.h"
#include "engine/sqlite/ColumnValues.h"
#include "engine/sqlite/FreeRegions.h"
#include "engine/sqlite/RecordScan.h"
#include "engine/sqlite/SqlTokens.h"
#include "engine/sqlite/TableReader.h"
#include "engine/sqlite/TableSignature.h"
#include "engine/sqlite/TextEncoding.h"
#include "engine/sqlite/VirtualTableModule.h"

namespace fq {

namespace {

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

using Tokens = std::vector<SqlToken>;

// The index just past the parenthesis that closes the one at `open`.
size_t skipParentheses(const Tokens& tokens, size_t open) {
  int depth = 0;
  for (size_t i = open; i < tokens.size(); ++i) {
    if (tokens[i].is('(')) ++depth;
    if (tokens[i].is(')') && --depth == 0) return i + 1;
  }
  return tokens.size();
}

// The text a declared type is matched against: the type as written (its size
// included), unquoted when written as one quoted name.
std::string typeText(std::string_view sql, const Tokens& tokens, size_t first, size_t end) {
  if (first >= end) return {};
  if (end == first + 1 && tokens[first].kind != SqlToken::Kind::Word) return tokens[first].value();
  const char* from = tokens[first].text.data();
  const char* to = tokens[end - 1].text.data() + tokens[end - 1].text.size();
  return std::string(sql.substr(static_cast<size_t>(from - sql.data()), static_cast<size_t>(to - from)));
}

// A numeric text as numeric affinity reads it: an integer when it is one (or
// a real with an integer's value), else a real; nothing when it is no number.
std::optional<ColumnValue> numericValue(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  const std::string s(text);
  ColumnValue v;
  char* end = nullptr;
  errno = 0;
  const long long integer = std::strtoll(s.c_str(), &end, 10);
  if (end == s.c_str() + s.size() && errno == 0) {
    v.kind = ColumnValue::Kind::Integer;
    v.integer = integer;
    return v;
  }
  // Only decimal forms are numbers here (strtod would take hex, inf and nan too).
  if (s.find_first_not_of("0123456789+-.eE") != std::string::npos) return std::nullopt;
  const double real = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size()) return std::nullopt;
  if (real >= -9.2233720368547758e18 && real < 9.2233720368547758e18 &&
      static_cast<double>(static_cast<int64_t>(real)) == real) {
    v.kind = ColumnValue::Kind::Integer;
    v.integer = static_cast<int64_t>(real);
  } else {
    v.kind = ColumnValue::Kind::Real;
    v.real = real;
  }
  return v;
}

ColumnValue textValue(std::string text) {
  ColumnValue v;
  v.kind = ColumnValue::Kind::Text;
  v.bytes = std::move(text);
  return v;
}

// The value of the DEFAULT literal at tokens[i] in a column of `affinity`, as
// the library gives it to a record too short to hold the column: literals are
// put through the column's affinity, small integers as numbers, other numbers
// as the text written. An expression gives NULL (ALTER TABLE allows none).
ColumnValue defaultValue(const Tokens& tokens, size_t i, size_t end, Affinity affinity) {
  ColumnValue v;
  if (i >= end) return v;
  std::string sign;
  if ((tokens[i].is('-') || tokens[i].is('+')) && i + 1 < end &&
      tokens[i + 1].kind == SqlToken::Kind::Number) {
    if (tokens[i].is('-')) sign = "-";
    ++i;
  }
  const SqlToken& t = tokens[i];
  if (t.isKeyword("TRUE") || t.isKeyword("FALSE")) {
    v.kind = ColumnValue::Kind::Integer;
    v.integer = t.isKeyword("TRUE") ? 1 : 0;
    return v;
  }
  if ((t.isKeyword("X") || t.isKeyword("x")) && i + 1 < end && tokens[i + 1].kind == SqlToken::Kind::String) {
    const std::string hex = tokens[i + 1].value();
    if (hex.size() % 2 != 0 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return v;
    v.kind = ColumnValue::Kind::Blob;
    for (size_t k = 0; k < hex.size(); k += 2) {
      v.bytes.push_back(static_cast<char>(std::stoi(hex.substr(k, 2), nullptr, 16)));
    }
    return v;
  }
  const bool numeric =
      affinity == Affinity::Integer || affinity == Affinity::Real || affinity == Affinity::Numeric;
  if (t.kind == SqlToken::Kind::String) {
    std::string text = t.value();
    if (numeric) {
      if (auto number = numericValue(text)) return *number;
    }
    return textValue(std::move(text));
  }
  if (t.kind != SqlToken::Kind::Number) return v;
  // A literal that fits 32 bits is a number from the start (hex included);
  // any other is its text, read through the affinity.
  const std::string written(t.text);
  long long small = 0;
  bool isSmall = false;
  if (written.size() > 2 && written[0] == '0' && (written[1] == 'x' || written[1] == 'X')) {
    if (written.size() <= 10) {
      small = std::stoll(written.substr(2), nullptr, 16);
      isSmall = small <= 0x7FFFFFFF;
    }
  } else if (written.find_first_not_of("0123456789") == std::string::npos && written.size() <= 10) {
    small = std::stoll(written);
    isSmall = small <= 0x7FFFFFFF;
  }
  if (isSmall) {
    const long long value = sign.empty() ? small : -small;
    if (affinity == Affinity::Text) return textValue(std::to_string(value));
    v.kind = ColumnValue::Kind::Integer;
    v.integer = value;
    return v;
  }
  const std::string text = sign + written;
  if (affinity == Affinity::Text) return textValue(text);
  if (auto number = numericValue(text)) return *number;
  return textValue(text);
}

bool isColumnConstraint(const SqlToken& t) {
  static const char* kConstraints[] = {"CONSTRAINT", "PRIMARY", "NOT",        "NULL",      "UNIQUE", "CHECK",
                                       "DEFAULT",    "COLLATE", "REFERENCES", "GENERATED", "AS"};
  for (const char* k : kConstraints) {
    if (t.isKeyword(k)) return true;
  }
  return false;
}

bool isTableConstraint(const SqlToken& t) {
  return t.isKeyword("CONSTRAINT") || t.isKeyword("PRIMARY") || t.isKeyword("UNIQUE") ||
         t.isKeyword("CHECK") || t.isKeyword("FOREIGN");
}

// The columns named by the PRIMARY KEY of a table constraint in [from, end),
// upper case, in key order; empty when it has none.
std::vector<std::string> tableKeyColumns(const Tokens& tokens, size_t from, size_t end) {
  std::vector<std::string> names;
  for (size_t i = from; i + 2 < end; ++i) {
    if (tokens[i].is('(')) {
      i = skipParentheses(tokens, i) - 1;  // a CHECK expression or another constraint's list
      continue;
    }
    if (!tokens[i].isKeyword("PRIMARY") || !tokens[i + 1].isKeyword("KEY") || !tokens[i + 2].is('('))
      continue;
    const size_t close = std::min(skipParentheses(tokens, i + 2), end);
    bool atItemStart = true;
    for (size_t k = i + 3; k + 1 < close; ++k) {
      if (tokens[k].is(',')) {
        atItemStart = true;
      } else if (atItemStart && tokens[k].isName()) {
        names.push_back(upper(tokens[k].value()));
        atItemStart = false;
      } else {
        atItemStart = false;
      }
    }
    return names;
  }
  return names;
}

// CREATE VIRTUAL TABLE name USING module [(arguments)], from the token after
// VIRTUAL: the module, its arguments as the library hands them to it (the
// text between top-level commas, trimmed), and the columns the module makes
// of them. A virtual table's columns take no affinity and have no default.
void parseVirtualTable(std::string_view sql, const Tokens& tokens, size_t from, TableSchema& schema) {
  size_t i = from;
  while (i < tokens.size() && !tokens[i].isKeyword("USING")) ++i;
  if (i + 1 >= tokens.size() || !tokens[i + 1].isName()) return;
  schema.module = tokens[i + 1].value();
  if (i + 2 < tokens.size() && tokens[i + 2].is('(')) {
    const size_t close = skipParentheses(tokens, i + 2);
    if (close > tokens.size() || !tokens[close - 1].is(')')) return;  // unbalanced: not readable
    size_t first = i + 3;
    // "()" holds no argument, "(a,)" an empty second one.
    for (size_t k = i + 3; k < close && close > i + 4; ++k) {
      if (tokens[k].is('(')) {
        k = skipParentheses(tokens, k) - 1;
        continue;
      }
      if (!tokens[k].is(',') && k + 1 != close) continue;
      if (first < k) {
        const char* begin = tokens[first].text.data();
        const char* end = tokens[k - 1].text.data() + tokens[k - 1].text.size();
        schema.moduleArguments.emplace_back(
            sql.substr(static_cast<size_t>(begin - sql.data()), static_cast<size_t>(end - begin)));
      } else {
        schema.moduleArguments.emplace_back();
      }
      first = k + 1;
    }
  }
  const VirtualTableLayout layout = LayoutOfVirtualTable(schema.module, schema.moduleArguments);
  for (const std::string& name : layout.columns) schema.columnNames.push_back(upper(name));
  schema.columnCount = static_cast<int32_t>(schema.columnNames.size());
  schema.affinities.assign(schema.columnNames.size(), Affinity::Blob);
  schema.defaults.assign(schema.columnNames.size(), ColumnValue{});
  schema.notNull.assign(schema.columnNames.size(), 0);
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
  const Tokens tokens = tokenizeSql(sql);
  size_t i = 0;
  if (tokens.empty() || !tokens[0].isKeyword("CREATE")) return schema;
  ++i;
  if (i < tokens.size() && (tokens[i].isKeyword("TEMP") || tokens[i].isKeyword("TEMPORARY"))) ++i;
  if (i < tokens.size() && tokens[i].isKeyword("VIRTUAL")) {
    schema.isVirtual = true;
    parseVirtualTable(sql, tokens, i + 1, schema);
    return schema;
  }
  if (i >= tokens.size() || !tokens[i].isKeyword("TABLE")) return schema;
  // The table name (perhaps schema-qualified) is whatever precedes the column
  // list; a statement without one (CREATE TABLE ... AS SELECT) declares none.
  while (i < tokens.size() && !tokens[i].is('(')) ++i;
  if (i >= tokens.size()) return schema;
  const size_t close = skipParentheses(tokens, i);
  if (close > tokens.size() || !tokens[close - 1].is(')')) return schema;  // unbalanced: not readable
  for (size_t k = close; k + 1 < tokens.size(); ++k) {
    if (tokens[k].isKeyword("WITHOUT") && tokens[k + 1].isKeyword("ROWID")) schema.withoutRowId = true;
  }

  std::vector<std::string> names;
  std::vector<std::string> types;
  std::vector<std::string> tableKey;
  int32_t columnKey = -1;  // the column whose own constraint is PRIMARY KEY
  bool columnKeyDescending = false;
  size_t start = i + 1;
  for (size_t k = i + 1; k < close; ++k) {
    if (tokens[k].is('(')) {
      k = skipParentheses(tokens, k) - 1;
      continue;
    }
    if (!tokens[k].is(',') && k + 1 != close) continue;
    const size_t end = k;  // the definition is tokens [start, end)
    const size_t first = start;
    start = k + 1;
    if (first >= end) continue;
    if (isTableConstraint(tokens[first])) {
      if (const auto key = tableKeyColumns(tokens, first, end); !key.empty()) tableKey = key;
      continue;
    }
    size_t t = first + 1;
    while (t < end && tokens[t].isName() && !isColumnConstraint(tokens[t])) ++t;
    if (t < end && t > first + 1 && tokens[t].is('(')) t = std::min(skipParentheses(tokens, t), end);
    const std::string type = typeText(sql, tokens, first + 1, t);
    const Affinity affinity = AffinityOf(type);
    size_t defaultAt = end;
    bool notNull = false;
    for (size_t c = t; c + 1 < end; ++c) {
      if (tokens[c].is('(')) {
        c = skipParentheses(tokens, c) - 1;
        continue;
      }
      if (tokens[c].isKeyword("DEFAULT")) defaultAt = c + 1;
      if (tokens[c].isKeyword("NOT") && tokens[c + 1].isKeyword("NULL")) notNull = true;
      if (tokens[c].isKeyword("PRIMARY") && tokens[c + 1].isKeyword("KEY")) {
        columnKey = static_cast<int32_t>(names.size());
        columnKeyDescending = c + 2 < end && tokens[c + 2].isKeyword("DESC");
      }
    }
    names.push_back(upper(tokens[first].value()));
    types.push_back(upper(type));
    schema.affinities.push_back(affinity);
    schema.defaults.push_back(defaultValue(tokens, defaultAt, end, affinity));
    schema.notNull.push_back(notNull ? 1 : 0);
  }
  schema.columnCount = static_cast<int32_t>(names.size());
  schema.columnNames = names;

  if (columnKey >= 0) {
    schema.primaryKey.push_back(columnKey);
  } else {
    for (const std::string& name : tableKey) {
      const auto at = std::find(names.begin(), names.end(), name);
      const auto column = static_cast<int32_t>(at - names.begin());
      if (at != names.end() &&
          std::find(schema.primaryKey.begin(), schema.primaryKey.end(), column) == schema.primaryKey.end()) {
        schema.primaryKey.push_back(column);
      }
    }
  }
  // A single-column key declared exactly INTEGER is the row id itself, stored
  // as NULL in the record; "INTEGER PRIMARY KEY DESC" on the column is not.
  if (!schema.withoutRowId && schema.primaryKey.size() == 1 &&
      types[static_cast<size_t>(schema.primaryKey[0])] == "INTEGER" &&
      !(columnKey >= 0 && columnKeyDescending)) {
    schema.rowIdColumn = schema.primaryKey[0];
  }
  return schema;
}

namespace {

// A text column of a schema row in UTF-8.
std::string schemaText(const SqliteFileReader& reader, const TableRow& row, int32_t column) {
  const RowColumn* c = row.column(column);
  if (!isTextColumn(c)) return {};
  return textToUtf8(c->bytes, reader.textEncoding());
}

// The table a schema row declares; columnCount 0 when its statement cannot be read.
TableSchema tableOf(const SqliteFileReader& reader, const TableRow& row, std::string name) {
  TableSchema schema = ParseCreateTable(schemaText(reader, row, 4));
  schema.name = std::move(name);
  const std::optional<int64_t> root = columnInteger(row.column(3));
  if (root && *root > 0 && *root <= INT64_C(0xFFFFFFFF)) schema.rootPage = static_cast<uint32_t>(*root);
  return schema;
}

}  // namespace

std::vector<TableSchema> ListTables(const SqliteFileReader& reader) {
  std::vector<TableSchema> tables = LiveTables(reader);
  for (TableSchema& dropped : DroppedTables(reader)) tables.push_back(std::move(dropped));
  return tables;
}

std::vector<TableSchema> LiveTables(const SqliteFileReader& reader) {
  std::vector<TableSchema> tables;
  ReadLiveRows(reader, 0, [&](const TableRow& row) {
    if (schemaText(reader, row, 0) != "table") return;
    // Any name the library accepts is a table, the empty one included.
    std::string name = schemaText(reader, row, 1);
    if (!isTextColumn(row.column(1)) || !IsAcceptedText(name)) return;
    tables.push_back(tableOf(reader, row, std::move(name)));
  });
  return tables;
}

std::vector<TableSchema> DroppedTables(const SqliteFileReader& reader) {
  std::vector<TableSchema> dropped;
  std::vector<std::string> liveNames;
  std::vector<uint8_t> page;
  PageMap schemaPages;
  if (reader.readPage(0, page) != kOk) return dropped;
  if (reader.collectLeaves(page, 0, schemaPages) != kOk && schemaPages.empty()) return dropped;
  ReadLiveRows(reader, 0, [&](const TableRow& row) { liveNames.push_back(schemaText(reader, row, 1)); });
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
      if (schemaText(reader, row, 0) != "table") continue;
      std::string name = schemaText(reader, row, 1);
      if (name.empty() || !IsAcceptedText(name)) continue;
      TableSchema schema = tableOf(reader, row, std::move(name));
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
  ReadLiveRows(reader, 0, [&](const TableRow& row) {
    if (found.columnCount > 0 || schemaText(reader, row, 0) != "table") return;
    if (CompareNoCase(schemaText(reader, row, 1), name) != 0) return;
    TableSchema schema = tableOf(reader, row, std::string(name));
    if (schema.columnCount > 0 && !schema.isVirtual) found = std::move(schema);
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

// Live rows of every table the library reads, in each storage form it writes:
// WITHOUT ROWID tables (index b-trees, primary key first in each record),
// UTF-16 files (little and big endian), names and statements written in every
// way the library accepts, and virtual tables beside their shadow tables.
// The library's own SELECT * is the referee.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/sqlite/GenericRows.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableSchema.h"
#include "tests/sqlite/TestDatabase.h"

namespace fq::test {
namespace {

std::string quoted(const std::string& name) {
  std::string out = "\"";
  for (const char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// Rows in one order whatever order they were read in: the reader walks in
// page order, the library in key order. Compared as values, so a whole real
// and an integer (both shown as "5") differ.
std::vector<std::vector<ColumnValue>> sorted(const std::vector<std::vector<ColumnValue>>& rows) {
  std::vector<std::pair<std::string, size_t>> keys;
  for (size_t i = 0; i < rows.size(); ++i) keys.emplace_back(describe(rows[i]), i);
  std::sort(keys.begin(), keys.end());
  std::vector<std::vector<ColumnValue>> out;
  for (const auto& [key, i] : keys) out.push_back(rows[i]);
  return out;
}

std::string kinds(const std::vector<ColumnValue>& row) {
  std::string out;
  for (const ColumnValue& v : row) out += "NIRTB"[static_cast<int>(v.kind)];
  return out;
}

// Texts from UTF-16 code units the library is given as they are: pairs,
// lone halves at the end and in the middle, a unit pair in the wrong order.
void insertUtf16Units(TestDatabase& db, const std::string& table) {
  const std::vector<std::vector<char16_t>> texts = {
      {u'a', 0xD834, 0xDD1E, u'b'},  // U+1D11E as a pair
      {u'x', 0xD834},                // a high half with nothing after it
      {0xDC00, u'y'},                // a low half alone
      {0xD800, u'z', u'!'},          // a high half followed by an ordinary unit
      {0xDD1E, 0xD834},              // the halves swapped
      {},
  };
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db.handle(), ("INSERT INTO " + quoted(table) + " (t) VALUES (?)").c_str(), -1,
                               &stmt, nullptr),
            SQLITE_OK);
  for (const auto& units : texts) {
    sqlite3_bind_text16(stmt, 1, units.data(), static_cast<int>(units.size() * 2), SQLITE_TRANSIENT);
    sqlite3_step(stmt);
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
}

constexpr const char* kRows = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ";

struct StorageForm {
  const char* name;
  int pageSize;
  const char* encoding;
  std::function<void(TestDatabase&)> fill;
};

const StorageForm kForms[] = {
    {"without_rowid_composite_key", 512, "UTF-8",
     [](TestDatabase& db) {
       // The key's columns come last and in reverse: records hold e, b, a, c, d.
       // Small pages make interior entries (rows too) and overflowing keys.
       db.exec(
           "CREATE TABLE w (a TEXT, b INTEGER NOT NULL, c REAL, d BLOB, e TEXT NOT NULL, UNIQUE (a),"
           " PRIMARY KEY (e, b)) WITHOUT ROWID");
       db.exec(
           std::string(kRows) +
           "2500) INSERT INTO w SELECT 'a' || i, i * 7 - 9000, i * 0.25,"
           " CASE WHEN i % 5 = 0 THEN NULL ELSE randomblob(i % 700) END,"
           " printf('key %03d', i % 400) || CASE WHEN i % 97 = 0 THEN hex(zeroblob(700)) ELSE '' END FROM n");
       db.exec("DELETE FROM w WHERE b % 11 = 0");
     }},
    {"without_rowid_utf16be", 4096, "UTF-16be",
     [](TestDatabase& db) {
       db.exec(
           "CREATE TABLE \"Schl\xC3\xBCssel \xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87\" (note TEXT, id INTEGER "
           "PRIMARY KEY,"
           " name TEXT) WITHOUT ROWID");
       db.exec(
           std::string(kRows) +
           "900) INSERT INTO \"Schl\xC3\xBCssel \xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87\" SELECT"
           " printf('%d \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9D\x84\x9E', i), i * 3, 'n\xC3\xA4me ' || i FROM n");
     }},
    {"utf16le", 1024, "UTF-16le",
     [](TestDatabase& db) {
       db.exec(
           "CREATE TABLE 'UTF-16 \xF0\x9D\x84\x9E\xF0\x9D\x95\xA5 End' (id INTEGER PRIMARY KEY, t TEXT, b "
           "BLOB)");
       db.exec(std::string(kRows) +
               "1500) INSERT INTO 'UTF-16 \xF0\x9D\x84\x9E\xF0\x9D\x95\xA5 End' (t, b) SELECT"
               " char(65 + i % 26, 233, 20013, 119070 + i % 9) || CASE WHEN i % 50 = 0 THEN"
               " hex(zeroblob(2000)) ELSE '' END, CASE WHEN i % 3 = 0 THEN x'00ff' END FROM n");
       insertUtf16Units(db, "UTF-16 \xF0\x9D\x84\x9E\xF0\x9D\x95\xA5 End");
     }},
    {"utf16be", 1024, "UTF-16be",
     [](TestDatabase& db) {
       db.exec("CREATE TABLE t (id INTEGER PRIMARY KEY, t TEXT, n REAL)");
       db.exec(std::string(kRows) +
               "1500) INSERT INTO t (t, n) SELECT char(1040 + i % 32, 65 + i % 26, 128512 + i % 50), i / 7.0 "
               "FROM n");
       insertUtf16Units(db, "t");
     }},
    {"odd_names", 4096, "UTF-8",
     [](TestDatabase& db) {
       db.exec("CREATE TABLE \"\" (x, y)");
       db.exec("INSERT INTO \"\" VALUES (1, 'empty name'), (2, NULL)");
       db.exec(
           "CREATE TABLE \"a\"\"b\" (\"c\"\"1\" TEXT, [c 2] INT, `c``3` 'TEXT', \"name\"TEXT, plain'REAL')");
       db.exec("INSERT INTO \"a\"\"b\" VALUES ('q', 2, 'r', 's', 1.5)");
       // A quoted column named like a keyword is the row id alias all the same.
       db.exec("CREATE TABLE [select] ('from' TEXT, \"where\" INTEGER PRIMARY KEY, [primary] TEXT)");
       db.exec("INSERT INTO [select] VALUES ('f', 40, 'p'), ('g', 41, 'q')");
       // Comments holding commas, parentheses and quotes; a named key
       // constraint followed by another without a comma between them.
       db.exec(
           "CREATE TABLE \"(\" ( -- comment, with (parens) and a 'quote\n"
           " a TEXT /* , b INTEGER, ( */, id INTEGER, c \"INTEGER(11,0)\","
           " CONSTRAINT \"named, key\" PRIMARY KEY (id) UNIQUE (a))");
       db.exec("INSERT INTO \"(\" VALUES ('one', 7, 8), ('two', 9, 10)");
       db.exec("CREATE TABLE \"\v\f\r\" (x)");
       db.exec("INSERT INTO \"\v\f\r\" VALUES ('control characters')");
       // Names equal to the schema's type column take no other table's rows.
       db.exec("CREATE TABLE \"table\" (x)");
       db.exec("INSERT INTO \"table\" VALUES ('only me')");
       db.exec("CREATE TABLE \"index\" (x)");
       db.exec("CREATE INDEX i_table ON \"table\"(x)");
       // Not an alias: the column keeps its own stored value.
       db.exec("CREATE TABLE descending (id INTEGER PRIMARY KEY DESC, v)");
       db.exec("INSERT INTO descending VALUES (5, 'x'), (3, 'y')");
     }},
    {"added_columns_and_whole_reals", 1024, "UTF-8",
     [](TestDatabase& db) {
       // Records written before ALTER TABLE ADD COLUMN lack the new columns;
       // the library gives them their default through the column's affinity.
       // Whole numbers in REAL columns are stored as integers.
       for (const std::string table : {"plain", "keyed"}) {
         db.exec("CREATE TABLE " + table +
                 " (id INTEGER NOT NULL, r REAL, n NUMERIC, x, PRIMARY KEY (x, id))" +
                 (table == "keyed" ? " WITHOUT ROWID" : ""));
         db.exec(std::string(kRows) + "300) INSERT INTO " + table +
                 " SELECT i, i % 4 * 0.5, i / 2.0, i * 3 FROM n");
         for (const char* column :
              {"a TEXT DEFAULT 1.50", "b INTEGER DEFAULT '7'", "c REAL DEFAULT 5", "d DEFAULT -0x10",
               "e NUMERIC DEFAULT '1.0'", "f DEFAULT TRUE", "g TEXT DEFAULT 12", "h DEFAULT x'0aff'",
               "i DEFAULT 'it''s'", "j DEFAULT 1e3", "k INT DEFAULT +5", "l TEXT DEFAULT -2.5e-3",
               "m REAL DEFAULT ' 42 '", "o INTEGER DEFAULT 'abc'", "p DEFAULT NULL", "q",
               "s NUMERIC DEFAULT 9223372036854775807", "u REAL DEFAULT 2.0"}) {
           db.exec("ALTER TABLE " + table + " ADD COLUMN " + column);
         }
         db.exec(std::string(kRows) + "20) INSERT INTO " + table +
                 " (id, r, x, q) SELECT -i, i, -i, 'new' FROM n");
       }
     }},
    {"virtual_tables", 4096, "UTF-8",
     [](TestDatabase& db) {
       db.exec("CREATE VIRTUAL TABLE f USING fts4(a, b)");
       db.exec(std::string(kRows) + "300) INSERT INTO f SELECT 'word ' || i, 'other ' || (i % 7) FROM n");
       db.exec("CREATE VIRTUAL TABLE r USING rtree(id, x0, x1)");
       db.exec(std::string(kRows) + "100) INSERT INTO r SELECT i, i * 0.5, i * 0.5 + 1 FROM n");
       db.exec("CREATE TABLE after_them (v)");
       db.exec("INSERT INTO after_them VALUES ('still read')");
     }},
};

void PrintTo(const StorageForm& form, std::ostream* out) { *out << form.name; }

class StorageForms : public ::testing::TestWithParam<StorageForm> {};

TEST_P(StorageForms, EveryTablesLiveRowsEqualTheLibrarys) {
  const StorageForm& form = GetParam();
  TestDatabase db(form.name, form.pageSize, false, form.encoding);
  form.fill(db);
  std::vector<std::string> libraryNames;
  for (const auto& row : db.query("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid")) {
    libraryNames.push_back(row[0].bytes);
  }
  std::vector<std::vector<std::vector<ColumnValue>>> libraryRows;
  for (const std::string& name : libraryNames)
    libraryRows.push_back(db.query("SELECT * FROM " + quoted(name)));
  db.close();

  SqliteFileReader reader;
  ASSERT_EQ(reader.open(db.path()), 0);
  const std::vector<TableSchema> tables = ListTables(reader);
  std::vector<std::string> names;
  for (const TableSchema& t : tables) names.push_back(t.name);
  ASSERT_EQ(names, libraryNames);
  for (size_t i = 0; i < tables.size(); ++i) {
    const TableSchema& table = tables[i];
    std::vector<std::vector<ColumnValue>> live;
    std::vector<std::vector<ColumnValue>> deleted;
    const int32_t result = ReadGenericRows(reader, table, [&](const GenericRow& row) {
      (row.deleted == 0 ? live : deleted).push_back(row.values);
    });
    EXPECT_EQ(result, 0) << table.name;
    // A virtual table's rows come from its shadow tables, never as deleted.
    if (table.isVirtual) {
      EXPECT_TRUE(deleted.empty()) << table.name;
    }
    const auto expected = sorted(libraryRows[i]);
    const auto read = sorted(live);
    ASSERT_EQ(read.size(), expected.size()) << table.name;
    for (size_t k = 0; k < read.size(); ++k) {
      ASSERT_TRUE(read[k] == expected[k])
          << table.name << " row " << k << ": read " << describe(read[k]) << " " << kinds(read[k])
          << ", expected " << describe(expected[k]) << " " << kinds(expected[k]);
    }
    for (const auto& row : deleted) {
      EXPECT_EQ(std::find(expected.begin(), expected.end(), row), expected.end())
          << table.name << ": a live row reported as deleted: " << describe(row);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, StorageForms, ::testing::ValuesIn(kForms),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StorageForms, TheFilesTextEncodingIsTheHeadersOrUtf8) {
  const struct {
    const char* encoding;
    TextEncoding expected;
  } cases[] = {{"UTF-8", TextEncoding::Utf8},
               {"UTF-16le", TextEncoding::Utf16le},
               {"UTF-16be", TextEncoding::Utf16be}};
  for (const auto& c : cases) {
    TestDatabase db(c.encoding, 4096, false, c.encoding);
    db.exec("CREATE TABLE t (x)");
    db.close();
    SqliteFileReader reader;
    ASSERT_EQ(reader.open(db.path()), 0);
    EXPECT_EQ(reader.textEncoding(), c.expected) << c.encoding;
  }
}

}  // namespace
}  // namespace fq::test

// CREATE TABLE statements as the library reads them: the declared columns,
// the primary key in key order, the row id alias and the table's form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/sqlite/TableSchema.h"
#include "engine/sqlite/TextEncoding.h"

namespace fq {
namespace {

TEST(TableSchema, ColumnsKeysAndFormOfCreateStatements) {
  const struct {
    const char* sql;
    std::vector<std::string> columns;
    std::vector<int32_t> key;
    int32_t rowIdColumn;
    bool withoutRowId;
  } cases[] = {
      {"CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)", {"ID", "V"}, {0}, 0, false},
      {"CREATE TABLE t (id INTEGER PRIMARY KEY DESC, v)", {"ID", "V"}, {0}, -1, false},
      {"CREATE TABLE t (id INTEGER, v, PRIMARY KEY (id DESC))", {"ID", "V"}, {0}, 0, false},
      {"CREATE TABLE t (id INT PRIMARY KEY, v)", {"ID", "V"}, {0}, -1, false},
      {"CREATE TABLE t ('id' INTEGER, name TEXT, CONSTRAINT c PRIMARY KEY (id) UNIQUE(name))",
       {"ID", "NAME"},
       {0},
       0,
       false},
      {"CREATE TABLE t (a TEXT, b INT, c, PRIMARY KEY (c, a)) WITHOUT ROWID",
       {"A", "B", "C"},
       {2, 0},
       -1,
       true},
      {"CREATE TABLE t (id INTEGER PRIMARY KEY, v) without   rowid", {"ID", "V"}, {0}, -1, true},
      // Quoted names may hold anything, a keyword, a comma or the words WITHOUT ROWID.
      {"CREATE TABLE \"x(\" (\"a\"\"b\" TEXT, [c, d] INT, `e``f` , 'g''h' REAL, \"WITHOUT ROWID\")",
       {"A\"B", "C, D", "E`F", "G'H", "WITHOUT ROWID"},
       {},
       -1,
       false},
      {"CREATE TABLE t (\"primary\" TEXT, [unique] INTEGER PRIMARY KEY)",
       {"PRIMARY", "UNIQUE"},
       {1},
       1,
       false},
      // Comments may hold commas, parentheses and quotes.
      {"CREATE TABLE t ( -- a, (b\n a TEXT /* , b INTEGER, ( ' */, c)", {"A", "C"}, {}, -1, false},
      // A name and a type written without space between them.
      {"CREATE TABLE t (\"name\"TEXT,surname'TEXT')", {"NAME", "SURNAME"}, {}, -1, false},
      {"CREATE TABLE t (a \"INTEGER(11,0)\" PRIMARY KEY, b)", {"A", "B"}, {0}, -1, false},
      {"CREATE TABLE t (a \"INTEGER\" PRIMARY KEY, b)", {"A", "B"}, {0}, 0, false},
      {"CREATE TABLE t (a \"INTEGER\" UNSIGNED PRIMARY KEY, b)", {"A", "B"}, {0}, -1, false},
      {"CREATE TABLE t (a DEFAULT (1, 2), b CHECK (b > (1)), c REFERENCES p(x, y))",
       {"A", "B", "C"},
       {},
       -1,
       false},
      {"CREATE TEMP TABLE IF NOT EXISTS main.t (a)", {"A"}, {}, -1, false},
      {"CREATE TABLE t AS SELECT 1", {}, {}, -1, false},
      {"CREATE TABLE t (a, b", {}, {}, -1, false},
      {"", {}, {}, -1, false},
  };
  for (const auto& c : cases) {
    const TableSchema schema = ParseCreateTable(c.sql);
    EXPECT_EQ(schema.columnNames, c.columns) << c.sql;
    EXPECT_EQ(schema.columnCount, static_cast<int32_t>(c.columns.size())) << c.sql;
    EXPECT_EQ(schema.affinities.size(), c.columns.size()) << c.sql;
    EXPECT_EQ(schema.primaryKey, c.key) << c.sql;
    EXPECT_EQ(schema.rowIdColumn, c.rowIdColumn) << c.sql;
    EXPECT_EQ(schema.withoutRowId, c.withoutRowId) << c.sql;
    EXPECT_FALSE(schema.isVirtual) << c.sql;
  }
}

TEST(TableSchema, AffinityFollowsTheDeclaredTypeAsWritten) {
  const struct {
    const char* sql;
    Affinity affinity;
  } cases[] = {
      {"CREATE TABLE t (a INT UNSIGNED NOT NULL)", Affinity::Integer},
      {"CREATE TABLE t (a \"INTEGER(11,0)\")", Affinity::Integer},
      {"CREATE TABLE t (a [INTEGER, 'abc' TEXT,])", Affinity::Integer},
      {"CREATE TABLE t (a VARCHAR(20) COLLATE NOCASE)", Affinity::Text},
      {"CREATE TABLE t (a 'TEXT')", Affinity::Text},
      {"CREATE TABLE t (a)", Affinity::Blob},
      {"CREATE TABLE t (a NOT NULL DEFAULT 'TEXT')", Affinity::Blob},
      {"CREATE TABLE t (a DOUBLE PRECISION)", Affinity::Real},
      {"CREATE TABLE t (a DECIMAL(10, 2))", Affinity::Numeric},
  };
  for (const auto& c : cases) {
    const TableSchema schema = ParseCreateTable(c.sql);
    ASSERT_EQ(schema.affinities.size(), 1u) << c.sql;
    EXPECT_EQ(schema.affinities[0], c.affinity) << c.sql;
  }
}

// The columns a virtual table's SELECT * gives, as its module reads the
// arguments; a module the reader does not know, or arguments the module
// refuses, give none.
TEST(TableSchema, VirtualTablesDeclareTheColumnsTheirModuleGives) {
  const struct {
    const char* sql;
    const char* module;
    std::vector<std::string> arguments;
    std::vector<std::string> columns;
  } cases[] = {
      {"CREATE VIRTUAL TABLE f USING fts4(a, b)", "fts4", {"a", "b"}, {"A", "B"}},
      {"create virtual table if not exists main.f using FTS4('name' TEXT, \"sur name\" , tokenize=porter, "
       "languageid=\"lid\", notindexed=b, prefix=\"2,3\")",
       "FTS4",
       {"'name' TEXT", "\"sur name\"", "tokenize=porter", "languageid=\"lid\"", "notindexed=b",
        "prefix=\"2,3\""},
       {"NAME", "SUR NAME"}},
      {"CREATE VIRTUAL TABLE f USING fts4(content=\"t\", a)", "fts4", {"content=\"t\"", "a"}, {"A"}},
      {"CREATE VIRTUAL TABLE f USING fts4()", "fts4", {}, {"CONTENT"}},
      {"CREATE VIRTUAL TABLE f USING fts4", "fts4", {}, {"CONTENT"}},
      {"CREATE VIRTUAL TABLE f USING fts3(a, tokenize porter, tokenizer)",
       "fts3",
       {"a", "tokenize porter", "tokenizer"},
       {"A", "TOKENIZER"}},
      {"CREATE VIRTUAL TABLE f USING fts5(a, b UNINDEXED, tokenize = 'porter ascii', prefix='2 3', "
       "content='', columnsize=0)",
       "fts5",
       {"a", "b UNINDEXED", "tokenize = 'porter ascii'", "prefix='2 3'", "content=''", "columnsize=0"},
       {"A", "B"}},
      {"CREATE VIRTUAL TABLE f USING fts5(tokenize=porter)", "fts5", {"tokenize=porter"}, {}},
      {"CREATE VIRTUAL TABLE f USING fts5('a'='b', c)", "fts5", {"'a'='b'", "c"}, {}},
      {"CREATE VIRTUAL TABLE r USING rtree(id, minX, maxX, minY, maxY)",
       "rtree",
       {"id", "minX", "maxX", "minY", "maxY"},
       {"ID", "MINX", "MAXX", "MINY", "MAXY"}},
      {"CREATE VIRTUAL TABLE r USING rtree_i32(id, x0 INT, x1, +name TEXT, +\"n 2\")",
       "rtree_i32",
       {"id", "x0 INT", "x1", "+name TEXT", "+\"n 2\""},
       {"ID", "X0", "X1", "NAME", "N 2"}},
      {"CREATE VIRTUAL TABLE r USING rtree(id, x0)", "rtree", {"id", "x0"}, {}},
      {"CREATE VIRTUAL TABLE r USING rtree(id, x0, x1, x2)", "rtree", {"id", "x0", "x1", "x2"}, {}},
      {"CREATE VIRTUAL TABLE r USING rtree(id, x0, +a, x1)", "rtree", {"id", "x0", "+a", "x1"}, {}},
      {"CREATE VIRTUAL TABLE r USING rtree(id, x0, x1, )", "rtree", {"id", "x0", "x1", ""}, {}},
      {"CREATE VIRTUAL TABLE g USING geopoly(a, b)", "geopoly", {"a", "b"}, {}},
      {"CREATE VIRTUAL TABLE s USING spellfix1", "spellfix1", {}, {}},
      {"CREATE VIRTUAL TABLE f USING fts4(a, (b", "fts4", {}, {}},
      {"CREATE VIRTUAL TABLE f", "", {}, {}},
  };
  for (const auto& c : cases) {
    const TableSchema schema = ParseCreateTable(c.sql);
    EXPECT_TRUE(schema.isVirtual) << c.sql;
    EXPECT_EQ(schema.module, c.module) << c.sql;
    EXPECT_EQ(schema.moduleArguments, c.arguments) << c.sql;
    EXPECT_EQ(schema.columnNames, c.columns) << c.sql;
    EXPECT_EQ(schema.columnCount, static_cast<int32_t>(c.columns.size())) << c.sql;
    EXPECT_EQ(schema.affinities.size(), c.columns.size()) << c.sql;
    EXPECT_EQ(schema.rowIdColumn, -1) << c.sql;
    EXPECT_EQ(schema.rootPage, 0u) << c.sql;
  }
}

TEST(TextEncoding, Utf16BecomesUtf8AsTheLibraryConvertsIt) {
  const struct {
    const char* what;
    std::vector<uint8_t> le;  // little-endian units; the big-endian case swaps each pair
    std::string utf8;
  } cases[] = {
      {"ascii", {'a', 0, 'b', 0}, "ab"},
      {"two and three bytes", {0xE9, 0x00, 0x2D, 0x4E}, "\xC3\xA9\xE4\xB8\xAD"},
      {"a surrogate pair", {0x34, 0xD8, 0x1E, 0xDD}, "\xF0\x9D\x84\x9E"},
      {"a high half at the end", {'x', 0, 0x34, 0xD8}, "x\xED\xA0\xB4"},
      {"a high half pairs with any unit", {0x00, 0xD8, 'z', 0}, "\xF0\x90\x81\xBA"},
      {"an odd trailing byte is dropped", {'a', 0, 'b'}, "a"},
      {"empty", {}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(textToUtf8(c.le, TextEncoding::Utf16le), c.utf8) << c.what;
    std::vector<uint8_t> be = c.le;
    for (size_t i = 0; i + 1 < be.size(); i += 2) std::swap(be[i], be[i + 1]);
    EXPECT_EQ(textToUtf8(be, TextEncoding::Utf16be), c.utf8) << c.what;
  }
  const std::string name = "UTF-16\xF0\x9D\x84\x9E\xE8\x87\xAA";
  for (const TextEncoding e : {TextEncoding::Utf8, TextEncoding::Utf16le, TextEncoding::Utf16be}) {
    const std::string stored = textFromUtf8(name, e);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(stored.data()), stored.size());
    EXPECT_EQ(textToUtf8(bytes, e), name);
  }
}

}  // namespace
}  // namespace fq

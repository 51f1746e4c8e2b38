// Virtual tables read from their shadow tables: fts3, fts4 and fts5 from
// their content tables, rtree and rtree_i32 from their node blobs, with the
// rows, their order, their values and the column names the library's own
// SELECT * gives; damaged shadow tables end a branch of the read, never the
// program.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "engine/sqlite/GenericRows.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableSchema.h"
#include "tests/sqlite/SqliteRowsSupport.h"
#include "tests/sqlite/TestDatabase.h"

namespace fq::test {
namespace {

constexpr const char* kRows = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ";

std::string numbers(int count) { return std::string(kRows) + std::to_string(count) + ") "; }

// The column names of SELECT * FROM `table`, upper case as the schema keeps them.
std::vector<std::string> libraryColumnNames(TestDatabase& db, const std::string& table) {
  std::vector<std::string> names;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db.handle(), ("SELECT * FROM " + table).c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sqlite3_errmsg(db.handle());
    return names;
  }
  for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
    std::string name = sqlite3_column_name(stmt, i);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    names.push_back(name);
  }
  sqlite3_finalize(stmt);
  return names;
}

// The depth an rtree's root node records (its first two bytes).
int rtreeDepth(TestDatabase& db, const std::string& table) {
  const auto rows = db.query("SELECT hex(substr(data, 1, 2)) FROM " + table + "_node WHERE nodeno = 1");
  return rows.size() == 1 ? std::stoi(rows[0][0].bytes, nullptr, 16) : -1;
}

struct ReadBack {
  int32_t result = 0;
  std::vector<std::vector<ColumnValue>> live;
  size_t deleted = 0;
};

ReadBack readBack(SqliteFileReader& reader, const TableSchema& schema) {
  ReadBack out;
  out.result = ReadGenericRows(reader, schema, [&](const GenericRow& row) {
    if (row.deleted != 0) {
      ++out.deleted;
      return;
    }
    EXPECT_EQ(row.firstColumn, 0);
    out.live.push_back(row.values);
  });
  return out;
}

struct Case {
  const char* name;
  const char* encoding;
  int pageSize;
  std::vector<std::string> statements;
  const char* table;
  bool libraryRows;  // false: the reader gives none (contentless)
  int minDepth;      // rtree: the root must be an inner node this high
};

const std::vector<Case>& cases() {
  static const std::vector<Case> kCases = {
      {"fts3",
       "UTF-8",
       4096,
       {"CREATE VIRTUAL TABLE f USING fts3(a, b)",
        numbers(80) + "INSERT INTO f SELECT 'word ' || i, CASE i % 5 WHEN 0 THEN i WHEN 1 THEN i * 0.25 "
                      "WHEN 2 THEN NULL WHEN 3 THEN x'00ff10' ELSE 'other ' || i END FROM n",
        "DELETE FROM f WHERE docid % 9 = 4", "UPDATE f SET a = 'changed' WHERE docid % 11 = 0"},
       "f",
       true,
       0},
      {"fts4 with options, a language id and rows out of docid order",
       "UTF-8",
       1024,
       {"CREATE VIRTUAL TABLE \"F 4\" USING fts4(name TEXT, \"sur name\", tokenize=porter, "
        "languageid=\"lid\", "
        "notindexed=\"sur name\", prefix=\"2,3\", order=desc)",
        numbers(300) + "INSERT INTO \"F 4\" (docid, name, \"sur name\", lid) SELECT (i * 7919) % 1000, "
                       "'name ' || i || printf('%.*c', i % 40, 'x'), i % 3, i % 4 FROM n",
        "INSERT INTO \"F 4\" (name) VALUES ('" + std::string(3000, 'L') + "')"},
       "\"F 4\"",
       true,
       0},
      {"fts4 declaring no column",
       "UTF-8",
       4096,
       {"CREATE VIRTUAL TABLE f USING fts4(tokenize=simple)", "INSERT INTO f VALUES ('only one column')"},
       "f",
       true,
       0},
      {"fts4 with external content",
       "UTF-8",
       4096,
       {"CREATE TABLE t (id INTEGER PRIMARY KEY, x, b, a REAL)",
        numbers(40) + "INSERT INTO t SELECT i * 3, 'x', 'bee ' || i, i / 4.0 FROM n",
        "CREATE VIRTUAL TABLE f USING fts4(content=\"t\", a, b)"},
       "f",
       true,
       0},
      {"fts4 contentless",
       "UTF-8",
       4096,
       {"CREATE VIRTUAL TABLE f USING fts4(content=\"\", a)", "INSERT INTO f (docid, a) VALUES (1, 'gone')"},
       "f",
       false,
       0},
      {"fts5",
       "UTF-8",
       4096,
       {"CREATE VIRTUAL TABLE f USING fts5(a, b UNINDEXED, tokenize='porter', prefix=2, detail=column)",
        numbers(200) + "INSERT INTO f SELECT 'word ' || i || printf('%.*c', i * 37, 'y'), CASE i % 4 WHEN 0 "
                       "THEN i WHEN 1 THEN -i * 1.5 WHEN 2 THEN NULL ELSE x'0102' END FROM n",
        "DELETE FROM f WHERE rowid % 6 = 1"},
       "f",
       true,
       0},
      {"fts5 with external content",
       "UTF-8",
       4096,
       {"CREATE TABLE t (k INTEGER PRIMARY KEY, body, title)",
        numbers(30) + "INSERT INTO t SELECT 100 - i, 'body ' || i, 'title ' || i FROM n",
        "CREATE VIRTUAL TABLE f USING fts5(title, body, content=t, content_rowid=k)"},
       "f",
       true,
       0},
      {"fts5 contentless",
       "UTF-8",
       4096,
       {"CREATE VIRTUAL TABLE f USING fts5(a, content='')", "INSERT INTO f (rowid, a) VALUES (1, 'gone')"},
       "f",
       false,
       0},
      {"fts4 in a UTF-16 file",
       "UTF-16le",
       4096,
       {"CREATE VIRTUAL TABLE f USING fts4(a, b)",
        numbers(30) + "INSERT INTO f SELECT 'wörd ' || i || ' 𝄞', i FROM n"},
       "f",
       true,
       0},
      {"rtree of two dimensions, its root an inner node",
       "UTF-8",
       4096,
       {"CREATE VIRTUAL TABLE r USING rtree(id, minLon, maxLon, minLat, maxLat)",
        numbers(700) + "INSERT INTO r SELECT i, i * 0.1, i * 0.1 + 0.05, -i / 3.0, -i / 3.0 + 1e-3 FROM n",
        "DELETE FROM r WHERE id % 13 = 5"},
       "r",
       true,
       1},
      {"rtree of one dimension two levels deep",
       "UTF-8",
       1024,
       {"CREATE VIRTUAL TABLE r USING rtree(id, x0, x1)",
        numbers(5000) + "INSERT INTO r SELECT (i * 7) % 5003, i * 1.0e6, i * 1.0e6 + 0.3 FROM n"},
       "r",
       true,
       2},
      {"rtree_i32 of three dimensions",
       "UTF-8",
       4096,
       {"CREATE VIRTUAL TABLE r USING rtree_i32(id, a0, a1, b0, b1, c0, c1)",
        numbers(400) +
            "INSERT INTO r SELECT i, -i * 1000, i * 1000, i, i + 2.7, -2147483648, 2147483647 FROM n"},
       "r",
       true,
       1},
      {"rtree with auxiliary columns",
       "UTF-8",
       4096,
       {"CREATE VIRTUAL TABLE r USING rtree(id, x0, x1, +name TEXT, +extra)",
        numbers(300) +
            "INSERT INTO r SELECT i, i, i + 1, 'name ' || i, CASE i % 3 WHEN 0 THEN NULL WHEN 1 THEN "
            "i * 0.5 ELSE x'abcd' END FROM n"},
       "r",
       true,
       1},
      {"rtree with auxiliary text in a UTF-16 file",
       "UTF-16be",
       4096,
       {"CREATE VIRTUAL TABLE r USING rtree(id, x0, x1, +name)",
        numbers(20) + "INSERT INTO r SELECT i, i, i + 1, 'nàme ' || i FROM n"},
       "r",
       true,
       0},
  };
  return kCases;
}

TEST(VirtualTableRows, EqualTheLibrarysSelectAllInItsOrder) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    TestDatabase db("virtual", c.pageSize, false, c.encoding);
    for (const std::string& sql : c.statements) db.exec(sql);
    const auto expected = c.libraryRows ? db.query(std::string("SELECT * FROM ") + c.table)
                                        : std::vector<std::vector<ColumnValue>>{};
    const std::vector<std::string> names = libraryColumnNames(db, c.table);
    if (c.minDepth > 0) {
      ASSERT_GE(rtreeDepth(db, "r"), c.minDepth);
    }
    db.close();

    SqliteFileReader reader;
    ASSERT_EQ(reader.open(db.path()), 0);
    std::string bare = c.table;
    bare.erase(std::remove(bare.begin(), bare.end(), '"'), bare.end());
    const TableSchema schema = schemaOf(reader, bare);
    ASSERT_TRUE(schema.isVirtual);
    EXPECT_EQ(schema.columnNames, names);
    const ReadBack read = readBack(reader, schema);
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(read.deleted, 0u);
    ASSERT_EQ(read.live.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      ASSERT_TRUE(read.live[i] == expected[i])
          << "row " << i << ": read " << describe(read.live[i]) << ", expected " << describe(expected[i]);
    }
  }
}

// Shadow tables changed behind the module's back: rows the reader still
// gives are rows the table really held, each once; the walk ends.
TEST(VirtualTableRows, DamagedShadowTablesEndTheirBranchQuietly) {
  const std::string kSmall = "CREATE VIRTUAL TABLE r USING rtree(id, x0, x1, y0, y1);" + numbers(10) +
                             "INSERT INTO r SELECT i, i, i + 1, i, i + 2 FROM n";
  const std::string kLarge = "CREATE VIRTUAL TABLE r USING rtree(id, x0, x1, y0, y1);" + numbers(600) +
                             "INSERT INTO r SELECT i, i, i + 1, i, i + 2 FROM n";
  const std::string kFts =
      "CREATE VIRTUAL TABLE r USING fts4(a);" + numbers(10) + "INSERT INTO r SELECT i FROM n";
  const struct {
    const char* what;
    std::string setup;
    const char* damage;
    int rows;  // exactly the library's first `rows` rows, or -1: some of them, not all
  } damages[] = {
      // Cells are 24 bytes after the 4-byte header: the blob ends inside the
      // sixth of ten, and the node is refused whole, as the library refuses
      // it. (Concatenation gives text: the blobs are cast back.)
      {"the root's cells run past its blob", kSmall,
       "UPDATE r_node SET data = substr(data, 1, 4 + 24 * 5 + 7) WHERE nodeno = 1", 0},
      {"the root's cell count is more than its blob holds", kSmall,
       "UPDATE r_node SET data = CAST(substr(data, 1, 2) || x'ffff' || substr(data, 5) AS BLOB) WHERE nodeno "
       "= 1",
       0},
      {"a leaf's cell count is more than its blob holds", kLarge,
       "UPDATE r_node SET data = CAST(substr(data, 1, 2) || x'ffff' || substr(data, 5) AS BLOB) WHERE nodeno "
       "= 2",
       -1},
      {"the root's first child is the root", kLarge,
       "UPDATE r_node SET data = CAST(substr(data, 1, 4) || x'0000000000000001' || substr(data, 13) AS BLOB) "
       "WHERE nodeno = 1",
       -1},
      {"two root cells lead to the same child", kLarge,
       "UPDATE r_node SET data = CAST(substr(data, 1, 28) || substr(data, 5, 8) || substr(data, 37) AS BLOB) "
       "WHERE nodeno = 1",
       -1},
      {"leaf cells read as child numbers", kSmall,
       "UPDATE r_node SET data = CAST(x'0001' || substr(data, 3) AS BLOB) WHERE nodeno = 1", 0},
      {"a root deeper than the library allows", kLarge,
       "UPDATE r_node SET data = CAST(x'0029' || substr(data, 3) AS BLOB) WHERE nodeno = 1", 0},
      {"a root blob too short for its header", kSmall, "UPDATE r_node SET data = x'00' WHERE nodeno = 1", 0},
      {"a root that is text", kSmall, "UPDATE r_node SET data = 'text' WHERE nodeno = 1", 0},
      {"no root node", kLarge, "DELETE FROM r_node WHERE nodeno = 1", 0},
      {"no node table", kLarge, "DROP TABLE r_node", 0},
      {"no content table", kFts, "DROP TABLE r_content", 0},
  };
  for (const auto& d : damages) {
    SCOPED_TRACE(d.what);
    TestDatabase db("damaged");
    db.exec(d.setup);
    const auto library = db.query("SELECT * FROM r");
    db.exec(d.damage);
    db.close();

    SqliteFileReader reader;
    ASSERT_EQ(reader.open(db.path()), 0);
    const TableSchema schema = schemaOf(reader, "r");
    ASSERT_TRUE(schema.isVirtual);
    const ReadBack read = readBack(reader, schema);
    EXPECT_EQ(read.deleted, 0u);
    if (d.rows >= 0) {
      ASSERT_EQ(read.live.size(), static_cast<size_t>(d.rows));
      for (size_t i = 0; i < read.live.size(); ++i) EXPECT_TRUE(read.live[i] == library[i]) << i;
      continue;
    }
    EXPECT_LT(read.live.size(), library.size());
    EXPECT_FALSE(read.live.empty());
    std::set<int64_t> ids;
    for (const auto& row : read.live) {
      EXPECT_NE(std::find(library.begin(), library.end(), row), library.end()) << describe(row);
      EXPECT_TRUE(ids.insert(row[0].integer).second) << "row id read twice: " << row[0].integer;
    }
  }
}

}  // namespace
}  // namespace fq::test

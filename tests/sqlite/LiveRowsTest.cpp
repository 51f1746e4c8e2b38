// Live rows read page by page must equal what the SQLite library returns.
#include <gtest/gtest.h>

#include <random>

#include "engine/sqlite/SqliteFileReader.h"
#include "tests/sqlite/SqliteRowsSupport.h"
#include "tests/sqlite/TestDatabase.h"

namespace fq::test {
namespace {

struct LiveScenario {
  const char* name;
  int pageSize;
  int rows;
  bool integerPrimaryKey;
  int longTextEvery;  // every n-th row gets a text that spills into overflow pages (0: none)
  int longTextBytes;
};

const LiveScenario kLiveScenarios[] = {
    {"small_512", 512, 40, true, 0, 0},
    {"deep_512", 512, 3000, false, 0, 0},       // interior pages several levels deep
    {"overflow_512", 512, 200, true, 3, 3000},  // long overflow chains on small pages
    {"mixed_1024", 1024, 1500, false, 7, 1500},
    {"default_4096", 4096, 5000, true, 11, 9000},
    {"big_8192", 8192, 2000, false, 5, 40000},
    {"huge_65536", 65536, 3000, true, 9, 200000},
    {"single_row_4096", 4096, 1, true, 0, 0},
    {"empty_4096", 4096, 0, false, 0, 0},
};

// Values of every serial type: integers of each width (negative too), the
// constants 0 and 1, reals, UTF-8 text, blobs, NULL and long texts.
void fill(TestDatabase& db, const LiveScenario& s) {
  db.exec(std::string("CREATE TABLE t (id ") + (s.integerPrimaryKey ? "INTEGER PRIMARY KEY" : "INTEGER") +
          ", i INTEGER, r REAL, txt TEXT, b BLOB, n, mixed)");
  db.exec("BEGIN");
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db.handle(), "INSERT INTO t VALUES (?,?,?,?,?,?,?)", -1, &stmt, nullptr);
  std::mt19937_64 random(static_cast<uint64_t>(s.pageSize) * 7919 + static_cast<uint64_t>(s.rows));
  const int64_t widths[] = {
      0,       1,          100,         -100,         30000,         -30000,
      8000000, 2000000000, -2000000000, 140000000000, -140000000000, 9000000000000000000};
  for (int i = 0; i < s.rows; ++i) {
    sqlite3_bind_int64(stmt, 1, s.integerPrimaryKey ? i * 3 + 1 : i % 17 - 8);
    sqlite3_bind_int64(stmt, 2, widths[static_cast<size_t>(i) % std::size(widths)]);
    sqlite3_bind_double(stmt, 3, (i % 5 == 0) ? 0.5 : -1234.56789 * i);
    std::string text = "row " + std::to_string(i) + " h\xC3\xA9llo \xE2\x9C\x93 \xF0\x9F\x98\x80";
    if (s.longTextEvery != 0 && i % s.longTextEvery == 0)
      text.append(static_cast<size_t>(s.longTextBytes), 'x');
    sqlite3_bind_text(stmt, 4, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    std::string blob(static_cast<size_t>(random() % 40), '\0');
    for (char& c : blob) c = static_cast<char>(random());
    if (i % 4 == 0) {
      sqlite3_bind_null(stmt, 5);
    } else {
      sqlite3_bind_blob(stmt, 5, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    }
    sqlite3_bind_null(stmt, 6);
    if (i % 3 == 0) {
      sqlite3_bind_text(stmt, 7, "", 0, SQLITE_STATIC);
    } else if (i % 3 == 1) {
      sqlite3_bind_int64(stmt, 7, i % 2);
    } else {
      sqlite3_bind_double(stmt, 7, 1e300);
    }
    sqlite3_step(stmt);
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  db.exec("COMMIT");
  db.exec("CREATE INDEX t_txt ON t(txt)");
}

class LiveRows : public ::testing::TestWithParam<LiveScenario> {};

TEST_P(LiveRows, EqualTheLibrarysRowsExactly) {
  const LiveScenario& s = GetParam();
  TestDatabase db(s.name, s.pageSize);
  fill(db, s);
  auto expected = db.query("SELECT rowid, * FROM t");
  db.close();

  SqliteFileReader reader;
  ASSERT_EQ(reader.open(db.path()), 0);
  EXPECT_EQ(reader.pageSize(), static_cast<uint32_t>(s.pageSize));
  int32_t result = -1;
  const std::vector<ReadRow> rows = readRows(reader, "t", &result);
  EXPECT_EQ(result, 0);
  std::vector<std::vector<ColumnValue>> live;
  for (const ReadRow& row : rows) {
    EXPECT_EQ(row.deleted, 0) << "a row of a table without deletions came out as deleted: "
                              << describe(row.values);
    if (row.deleted == 0) live.push_back(row.values);
  }
  std::sort(expected.begin(), expected.end(), lessByValues);
  std::sort(live.begin(), live.end(), lessByValues);
  ASSERT_EQ(live.size(), expected.size());
  for (size_t i = 0; i < live.size(); ++i) {
    ASSERT_EQ(live[i], expected[i]) << "row " << i << ": read " << describe(live[i]) << " expected "
                                    << describe(expected[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, LiveRows, ::testing::ValuesIn(kLiveScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace fq::test

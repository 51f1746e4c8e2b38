// The acceptance gate of rows found in free space, and the free space of a
// page as the record scan sees it.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/sqlite/FreeRegions.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableSchema.h"
#include "engine/sqlite/TableSignature.h"

namespace fq::test {
namespace {

// One column of a candidate row: its serial type and content.
struct Value {
  uint64_t type;
  std::vector<uint8_t> bytes;
};
Value text(const std::string& s) { return {s.size() * 2 + 13, std::vector<uint8_t>(s.begin(), s.end())}; }
Value blob(std::vector<uint8_t> b) { return {b.size() * 2 + 12, std::move(b)}; }
Value integer(uint8_t v) { return {1, {v}}; }
Value real(double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  std::vector<uint8_t> b(8);
  for (int i = 0; i < 8; ++i) b[static_cast<size_t>(i)] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  return {7, b};
}
const Value kNull{0, {}};
const Value kZero{8, {}};

struct GateCase {
  const char* what;
  std::vector<Value> row;
  bool accepted;
};

TEST(CarvedRowGate, TakesRowsSqliteCouldHaveWrittenIntoTheTable) {
  const TableSchema schema = ParseCreateTable(
      "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT NOT NULL, note TEXT, n INTEGER, r REAL, b)");
  const TableSignature signature = SignatureOf(schema, 0);
  const GateCase cases[] = {
      {"an ordinary row", {kNull, text("Ada"), text("x"), integer(7), real(2.5), blob({1, 2})}, true},
      {"the row id alias holds a value", {integer(3), text("Ada"), kNull, kNull, kNull, kNull}, false},
      {"a NOT NULL column is NULL", {kNull, kNull, text("x"), integer(7), kNull, kNull}, false},
      {"a number in a TEXT column", {kNull, text("Ada"), integer(4), kNull, kNull, kNull}, false},
      {"text in an INTEGER column", {kNull, text("Ada"), kNull, text("7"), kNull, kNull}, false},
      {"a control character in text",
       {kNull,
        text("A\x01"
             "da"),
        kNull, kNull, kNull, kNull},
       false},
      {"tab and line breaks are text", {kNull, text("A\tb\r\nc"), kNull, kNull, kNull, kNull}, true},
      {"broken UTF-8", {kNull, text("A\xC3"), kNull, kNull, kNull, kNull}, false},
      {"a real beyond 1e300", {kNull, text("Ada"), kNull, kNull, real(1e301), kNull}, false},
      {"nothing but empty values", {kNull, text(""), kNull, kZero, kNull, blob({0, 0, 0})}, false},
      {"a reserved serial type", {kNull, text("Ada"), kNull, {10, {}}, kNull, kNull}, false},
      {"more columns than declared", {kNull, text("Ada"), kNull, kNull, kNull, kNull, kNull}, false},
  };
  for (const GateCase& c : cases) {
    std::vector<RowColumn> columns;
    for (const Value& v : c.row) columns.push_back(RowColumn{v.type, v.bytes});
    EXPECT_EQ(AcceptCarvedRow(signature, columns, false), c.accepted) << c.what;
  }
}

TEST(CarvedRowGate, ManyLiveRowsShowWhatTheTableHolds) {
  const TableSchema schema = ParseCreateTable("CREATE TABLE t (a, b, c, d)");
  TableSignature signature = SignatureOf(schema, 0);
  // Twelve live rows: a text, an integer, a text and a NULL each.
  const Value live[] = {text("name"), integer(5), text("more"), kNull};
  for (int i = 0; i < 12; ++i) {
    TableRow row;
    for (const Value& v : live) row.columns.push_back(RowColumn{v.type, v.bytes});
    signature.addLiveRow(row);
  }
  auto accepts = [&](std::vector<Value> values, bool guessedFirst) {
    std::vector<RowColumn> columns;
    for (const Value& v : values) columns.push_back(RowColumn{v.type, v.bytes});
    return AcceptCarvedRow(signature, columns, guessedFirst);
  };
  EXPECT_TRUE(accepts({text("x"), integer(1), text("y"), kNull}, false));
  // One column of a kind no live row has is a change; two of four is another table.
  EXPECT_TRUE(accepts({text("x"), integer(1), text("y"), integer(2)}, false));
  EXPECT_FALSE(accepts({integer(3), text("z"), text("y"), kNull}, false));
  // A guessed first column must be of a kind the live rows show there.
  EXPECT_FALSE(accepts({integer(3), integer(1), text("y"), kNull}, true));
  EXPECT_TRUE(accepts({text("x"), integer(1), text("y"), kNull}, true));
}

// A table leaf of 512 bytes with one live cell whose payload spills to an
// overflow page: the cell's bytes on the page (with the overflow page number)
// are not free space; everything else after the header and pointer is.
TEST(FreeRegions, LiveCellsAndTheirOverflowPointerAreNotFree) {
  std::vector<uint8_t> page(512, 0xAA);
  page[0] = kLeafTablePage;
  page[1] = page[2] = 0;  // no free block
  page[3] = 0;
  page[4] = 1;  // one cell
  page[5] = 0x01;
  page[6] = 0x00;  // content from 256
  page[8] = 0x01;
  page[9] = 0x00;  // the cell at 256
  // Payload 1000 bytes (two-byte varint), row id 1: 512-byte pages keep
  // minLocal = 39 bytes here, then a 4-byte overflow page number.
  page[256] = 0x87;
  page[257] = 0x68;
  page[258] = 0x01;
  const std::vector<FreeRegion> regions = FreeRegionsOf(page, 1, 512, FreePageKind::TreeLeaf);
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_EQ(regions[0].start, 10u);
  EXPECT_EQ(regions[0].end, 256u);
  EXPECT_EQ(regions[1].start, 256u + 3 + 39 + 4);
  EXPECT_EQ(regions[1].end, 512u);
  EXPECT_EQ(LeafCellSize(page, 256, 512), 3u + 39 + 4);
}

TEST(FreeRegions, AFreeListTrunkIsFreeAfterItsList) {
  std::vector<uint8_t> page(512, 0x11);
  page[0] = page[1] = page[2] = page[3] = 0;
  page[4] = page[5] = page[6] = 0;
  page[7] = 3;  // three leaf page numbers listed
  const std::vector<FreeRegion> regions = FreeRegionsOf(page, 4, 512, FreePageKind::FreeTrunk);
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_EQ(regions[0].start, 8u + 3 * 4);
  EXPECT_EQ(regions[0].end, 512u);
}

}  // namespace
}  // namespace fq::test

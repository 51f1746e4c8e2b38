// The acceptance gate of rows found in free space, and the free space of a
// page as the record scan sees it.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/sqlite/FreeRegions.h"
#include "engine/sqlite/RecordScan.h"
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
      // Texts longer than a word: plain ASCII is told eight bytes at a time.
      {"a long plain text",
       {kNull, text("Meet me at the station at noon"), kNull, kNull, kNull, kNull},
       true},
      {"a control character deep in a long text",
       {kNull, text("Meet me at the\x02 station"), kNull, kNull, kNull, kNull},
       false},
      {"DEL in a long text", {kNull, text("Meet me at\x7Fthe station"), kNull, kNull, kNull, kNull}, false},
      {"a long text with accents and a line break",
       {kNull,
        text("Caf\xC3\xA9 at nine,\nthen the pi\xC3\xB1"
             "ata"),
        kNull, kNull, kNull, kNull},
       true},
      {"broken UTF-8 after a run of plain words",
       {kNull, text("Meet me at the station \xC3"), kNull, kNull, kNull, kNull},
       false},
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

// One deleted record in a free block of an otherwise empty leaf, in each form
// a freed cell leaves, with texts short and long: a text of 100 bytes takes a
// serial type of two bytes, which the scan must walk wherever it stands.
TEST(RecordScan, FindsARecordInEachFormWhateverWidthItsTypesTake) {
  const TableSignature signature =
      SignatureOf(ParseCreateTable("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT, b TEXT, n INTEGER)"), 0);
  const std::string longText(100, 'L');
  const struct {
    const char* what;
    ReadingForm form;
    std::string a, b;
  } cases[] = {
      {"intact, short texts", ReadingForm::Intact, "Ada", "x"},
      {"intact, long text first", ReadingForm::Intact, longText, "x"},
      {"intact, long text last", ReadingForm::Intact, "Ada", longText},
      {"header length lost, short texts", ReadingForm::NoLength, "Ada", "x"},
      {"header length lost, long text first", ReadingForm::NoLength, longText, "x"},
      {"header length lost, long text last", ReadingForm::NoLength, "Ada", longText},
      {"first type lost, short texts", ReadingForm::LostFirst, "Ada", "x"},
      {"first type lost, long text first", ReadingForm::LostFirst, longText, "x"},
      {"first type lost, long text last", ReadingForm::LostFirst, "Ada", longText},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // Serial types: id NULL, a and b texts, n a one-byte integer.
    std::vector<uint8_t> types;
    if (c.form != ReadingForm::LostFirst) types.push_back(0);
    for (const std::string* t : {&c.a, &c.b}) {
      const uint64_t type = t->size() * 2 + 13;
      if (type >= 0x80) types.push_back(static_cast<uint8_t>(0x80 | (type >> 7)));
      types.push_back(static_cast<uint8_t>(type & 0x7F));
    }
    types.push_back(1);
    std::vector<uint8_t> record;
    if (c.form == ReadingForm::Intact) record.push_back(static_cast<uint8_t>(types.size() + 1));
    record.insert(record.end(), types.begin(), types.end());
    record.insert(record.end(), c.a.begin(), c.a.end());
    record.insert(record.end(), c.b.begin(), c.b.end());
    record.push_back(42);

    std::vector<uint8_t> page(512, 0);
    page[0] = kLeafTablePage;
    page[1] = 0x01;
    page[2] = 0x00;  // a free block at 256, the record right after its header
    const auto size = static_cast<uint16_t>(4 + record.size());
    page[258] = static_cast<uint8_t>(size >> 8);
    page[259] = static_cast<uint8_t>(size & 0xFF);
    std::copy(record.begin(), record.end(), page.begin() + 260);

    RecordScanner scanner(signature);
    const std::vector<RecordReading> readings =
        scanner.scan(page, FreeRegionsOf(page, 1, 512, FreePageKind::TreeLeaf));
    ASSERT_EQ(readings.size(), 1u);
    EXPECT_EQ(readings[0].form, c.form);
    EXPECT_EQ(readings[0].typesAt, 260u);
    std::vector<RowColumn> columns;
    ASSERT_TRUE(scanner.columnsOf(page, readings[0], columns));
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(columns[0].serialType, 0u);
    EXPECT_EQ(std::string(columns[1].bytes.begin(), columns[1].bytes.end()), c.a);
    EXPECT_EQ(std::string(columns[2].bytes.begin(), columns[2].bytes.end()), c.b);
    ASSERT_EQ(columns[3].bytes.size(), 1u);
    EXPECT_EQ(columns[3].bytes[0], 42);
  }
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

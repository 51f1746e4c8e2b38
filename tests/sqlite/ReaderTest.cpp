// The page-level rules of the reader: varints, content lengths, the file
// header, the free list (and its loops), the one-cell rule and schema roots.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>

#include "engine/ResultCodes.h"
#include "engine/sqlite/FreeRegions.h"
#include "engine/sqlite/RecordFormat.h"
#include "engine/sqlite/RecordScan.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableSchema.h"
#include "engine/sqlite/TableSignature.h"
#include "tests/sqlite/TestDatabase.h"
#include "tests/support/TempFolder.h"

namespace fq::test {
namespace {

std::vector<uint8_t> fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void putBe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

TEST(Reader, VarintsTakeSevenBitsFromEveryByte) {
  struct Case {
    std::vector<uint8_t> bytes;
    int64_t maxLength;
    uint64_t value;
    int32_t length;
  };
  const Case cases[] = {
      {{0x05}, 9, 5, 1},
      {{0x81, 0x00}, 9, 128, 2},
      {{0xFF, 0x7F}, 9, 16383, 2},
      {{0x81, 0x80, 0x00}, 2, 0x80, 2},  // no final byte inside maxLength: what was read so far
      {{0x05}, 0, 0, 0},
      // Nine bytes: the last one gives 7 bits too, not the published 8.
      {{0x81, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01}, 9, (uint64_t{1} << 56) | 1, 9},
  };
  for (const Case& c : cases) {
    const Varint v = readVarint(c.bytes, c.maxLength);
    EXPECT_EQ(v.value, c.value);
    EXPECT_EQ(v.length, c.length);
  }
}

TEST(Reader, ContentLengthsOfSerialTypes) {
  const std::pair<uint64_t, int64_t> cases[] = {{0, 0},  {1, 1},  {2, 2},  {3, 3},  {4, 4},  {5, 6},
                                                {6, 8},  {7, 8},  {8, 0},  {9, 0},  {10, 0}, {12, 0},
                                                {13, 0}, {14, 1}, {15, 1}, {19, 3}, {20, 4}};
  for (const auto& [type, length] : cases) EXPECT_EQ(contentLength(type), length) << type;
  EXPECT_GT(contentLength(UINT64_MAX), 0);  // saturated, never negative
}

class ReaderFile : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = std::make_unique<TestDatabase>("file", 512);
    db_->exec("CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)");
    db_->exec("CREATE INDEX t_v ON t(v)");
    db_->exec("CREATE VIEW t_view AS SELECT * FROM t");
    db_->exec("CREATE TRIGGER t_trigger AFTER INSERT ON t BEGIN SELECT 1; END");
    db_->exec("BEGIN");
    for (int i = 0; i < 300; ++i) db_->exec("INSERT INTO t (v) VALUES ('value " + std::to_string(i) + "')");
    db_->exec("COMMIT");
    roots_ = db_->query("SELECT rootpage FROM sqlite_master WHERE tbl_name = 't' AND rootpage > 0");
    db_->close();
    bytes_ = fileBytes(db_->path());
  }
  std::unique_ptr<TestDatabase> db_;
  std::vector<std::vector<ColumnValue>> roots_;
  std::vector<uint8_t> bytes_;
};

TEST_F(ReaderFile, HeaderMagicIsComparedWithoutCase) {
  SqliteFileReader reader;
  std::vector<uint8_t> lower = bytes_;
  for (size_t i = 0; i < 6; ++i) lower[i] = static_cast<uint8_t>(std::tolower(lower[i]));
  EXPECT_EQ(reader.openMemory(lower), kOk);
  EXPECT_EQ(reader.pageSize(), 512u);

  std::vector<uint8_t> wrong = bytes_;
  wrong[15] = ' ';
  EXPECT_EQ(reader.openMemory(wrong), kInvalid);
  std::vector<uint8_t> badPageSize = bytes_;
  badPageSize[16] = 0x03;  // 0x0300 is not a power of two
  EXPECT_EQ(reader.openMemory(badPageSize), kInvalid);
  EXPECT_EQ(reader.openMemory(std::span<const uint8_t>(bytes_.data(), 10)), kInvalid);
  EXPECT_EQ(reader.open(db_->path().string() + ".missing"), ENOENT);
  EXPECT_FALSE(reader.isOpen());
  std::vector<uint8_t> page;
  EXPECT_EQ(reader.readPage(0, page), kInvalid);
}

TEST_F(ReaderFile, ReadingPastTheEndIsAShortRead) {
  SqliteFileReader reader;
  ASSERT_EQ(reader.open(db_->path()), kOk);
  std::vector<uint8_t> page;
  EXPECT_EQ(reader.readPage(reader.pageCount() - 1, page), kOk);
  EXPECT_EQ(reader.readPage(reader.pageCount(), page), kShortRead);
}

// Pages come back as the file holds them in any order of reading, and never
// from the file read before.
TEST_F(ReaderFile, PagesReadInAnyOrderAreTheFilesPages) {
  const auto other = db_->path().string() + ".other";
  std::vector<uint8_t> changed = bytes_;
  for (size_t i = 512; i < changed.size(); i += 97) changed[i] ^= 0x5A;
  std::ofstream(other, std::ios::binary)
      .write(reinterpret_cast<const char*>(changed.data()), static_cast<std::streamsize>(changed.size()));

  SqliteFileReader reader;
  std::vector<uint8_t> page;
  for (const auto& [path, bytes] : {std::pair{db_->path().string(), &bytes_}, std::pair{other, &changed}}) {
    ASSERT_EQ(reader.open(path), kOk);
    const uint32_t pages = reader.pageCount();
    ASSERT_GT(pages, 8u);
    for (uint32_t round = 0; round < 3; ++round) {
      for (uint32_t k = 0; k < pages; ++k) {
        const uint32_t index = (k * 7 + round) % pages;
        ASSERT_EQ(reader.readPage(index, page), kOk);
        const auto from = bytes->begin() + static_cast<std::ptrdiff_t>(index) * 512;
        ASSERT_TRUE(std::equal(page.begin(), page.end(), from, from + 512)) << path << " page " << index;
      }
    }
  }
  std::remove(other.c_str());
}

// A file of 512-byte pages whose every byte tells its page and place, after
// a header the reader takes (no free list).
std::vector<uint8_t> patternedPages(size_t size) {
  std::vector<uint8_t> bytes(std::max<size_t>(size, 512));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((i / 512) * 7 + i % 509);
  const std::string_view magic("SQLite format 3\0", 16);
  std::copy(magic.begin(), magic.end(), bytes.begin());
  bytes[16] = 0x02;  // 512-byte pages
  bytes[17] = 0x00;
  bytes[20] = 0;          // no reserved bytes
  putBe32(bytes, 32, 0);  // no free list
  putBe32(bytes, 56, 1);  // UTF-8
  bytes.resize(size);
  return bytes;
}

void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Pages read through the cache, several at a time, are what a plain read of
// the file gives at that moment, in any order of reading: runs of pages meet
// the end of the cache's slots, the file's end, a cut last page, a file that
// shrank or grew after it was opened, and pages already read.
TEST(PageReads, AreThePagesOfTheFileAsItStands) {
  constexpr size_t kSlots = (size_t{2} << 20) / 512;  // the cache's slots at this page size
  struct Case {
    const char* name;
    size_t size;       // when opened
    size_t sizeLater;  // from the first page read on
  };
  const Case cases[] = {
      {"whole pages", 300 * 512, 300 * 512},
      {"a cut last page", 300 * 512 + 100, 300 * 512 + 100},
      {"more pages than the cache has slots", (kSlots + 104) * 512, (kSlots + 104) * 512},
      {"shrunk after opening", 300 * 512, 10 * 512 + 256},
      {"shrunk below one page", 300 * 512, 100},
      {"grown after opening", 300 * 512, 340 * 512},
  };
  const std::vector<std::pair<const char*, std::function<size_t(size_t, size_t, size_t)>>> orders = {
      {"ascending", [](size_t k, size_t, size_t) { return k; }},
      {"descending", [](size_t k, size_t n, size_t) { return n - 1 - k; }},
      {"strided", [](size_t k, size_t n, size_t) { return k * 37 % n; }},
      // a page, then one in its slot (the cache holds min(pages, kSlots) slots)
      {"sharing slots",
       [](size_t k, size_t n, size_t slots) { return k % 2 == 0 ? k / 2 : (k / 2 + slots) % n; }},
  };
  fq::testsupport::TempFolder folder;
  const auto path = folder / "pages.db";
  for (const Case& c : cases) {
    const std::vector<uint8_t> later = patternedPages(c.sizeLater);
    for (const auto& [orderName, order] : orders) {
      writeBytes(path, patternedPages(c.size));
      SqliteFileReader reader;
      ASSERT_EQ(reader.open(path), kOk) << c.name;
      ASSERT_EQ(reader.pageCount(), c.size / 512);
      writeBytes(path, later);
      const size_t pages = std::max(c.size, c.sizeLater) / 512 + 2;
      const size_t slots = std::min(c.size / 512, kSlots);
      std::vector<uint8_t> page;
      for (int pass = 0; pass < 2; ++pass) {
        for (size_t k = 0; k < pages; ++k) {
          const size_t index = order(k, pages, slots);
          const bool whole = (index + 1) * 512 <= later.size();
          const int32_t r = reader.readPage(static_cast<uint32_t>(index), page);
          ASSERT_EQ(r, whole ? kOk : kShortRead) << c.name << ", " << orderName << ", page " << index;
          if (!whole) continue;
          const auto from = later.begin() + static_cast<std::ptrdiff_t>(index * 512);
          ASSERT_TRUE(std::equal(page.begin(), page.end(), from, from + 512))
              << c.name << ", " << orderName << ", page " << index;
          std::span<const uint8_t> view;
          ASSERT_EQ(reader.viewPage(static_cast<uint32_t>(index), view), kOk);
          ASSERT_TRUE(std::equal(view.begin(), view.end(), page.begin(), page.end()));
        }
      }
    }
  }
}

TEST_F(ReaderFile, RootsOfTheTableAndItsIndexButNotOfViewsOrTriggers) {
  SqliteFileReader reader;
  ASSERT_EQ(reader.open(db_->path()), kOk);
  std::set<uint32_t> expected;
  for (const auto& row : roots_) expected.insert(static_cast<uint32_t>(row[0].integer - 1));
  ASSERT_EQ(expected.size(), 2u);
  EXPECT_EQ(reader.findRoots("t"), expected);
  EXPECT_TRUE(reader.findRoots("T").empty());  // names are matched exactly
  EXPECT_TRUE(reader.findRoots("absent").empty());
}

TEST_F(ReaderFile, FreeListOfTwoTrunksListsSixLeavesAndNoTrunk) {
  std::vector<uint8_t> b = bytes_;
  const uint32_t pages = static_cast<uint32_t>(b.size() / 512);
  ASSERT_GE(pages, 10u);
  putBe32(b, 32, pages);                     // first trunk: the last page
  putBe32(b, (pages - 1) * 512, pages - 1);  // next trunk
  putBe32(b, (pages - 1) * 512 + 4, 3);
  for (uint32_t i = 0; i < 3; ++i) putBe32(b, (pages - 1) * 512 + 8 + 4 * i, 2 + i);
  putBe32(b, (pages - 2) * 512, 0);
  putBe32(b, (pages - 2) * 512 + 4, 3);
  for (uint32_t i = 0; i < 3; ++i) putBe32(b, (pages - 2) * 512 + 8 + 4 * i, 5 + i);
  SqliteFileReader reader;
  ASSERT_EQ(reader.openMemory(b), kOk);
  EXPECT_EQ(reader.freeLeafPages(), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));

  // A chain that loops back, and a trunk claiming more leaves than a page holds.
  putBe32(b, (pages - 2) * 512, pages);
  putBe32(b, (pages - 2) * 512 + 4, 1000000);
  ASSERT_EQ(reader.openMemory(b), kOk);
  EXPECT_LE(reader.freeLeafPages().size(), static_cast<size_t>((512 - 8) / 4 + 3));
}

// The parts a reading must skip are named, and an intact file has none: a
// free list that loops, a b-tree child beyond the file, an overflow chain
// cut short.
TEST(Reader, DamageNamesThePartItSkips) {
  TestDatabase db("damage", 512);
  db.exec("CREATE TABLE t (id INTEGER PRIMARY KEY, v BLOB)");
  db.exec("BEGIN");
  for (int i = 0; i < 300; ++i) db.exec("INSERT INTO t (v) VALUES ('value " + std::to_string(i) + "')");
  db.exec("INSERT INTO t (v) VALUES ('" + std::string(3000, 'Q') + "')");
  db.exec("COMMIT");
  db.exec("DELETE FROM t WHERE id BETWEEN 20 AND 120");
  const auto root = db.query("SELECT rootpage FROM sqlite_master WHERE name = 't'");
  db.close();
  const std::vector<uint8_t> intact = fileBytes(db.path());
  const auto be32 = [](const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
           static_cast<uint32_t>(b[at + 2]) << 8 | b[at + 3];
  };
  const auto pages = static_cast<uint32_t>(intact.size() / 512);
  const uint32_t trunk = be32(intact, 32);
  ASSERT_NE(trunk, 0u) << "the deletes leave a free list";
  const auto rootAt = static_cast<size_t>(root.at(0).at(0).integer - 1) * 512;
  ASSERT_EQ(intact[rootAt], kInteriorTablePage);
  // The first overflow page of the long row: all 'Q' after its next pointer, and a next page.
  size_t overflow = 0;
  for (size_t at = 512; at < intact.size() && overflow == 0; at += 512) {
    if (be32(intact, at) != 0 && std::all_of(intact.begin() + static_cast<std::ptrdiff_t>(at) + 4,
                                             intact.begin() + static_cast<std::ptrdiff_t>(at) + 512,
                                             [](uint8_t c) { return c == 'Q'; })) {
      overflow = at;
    }
  }
  ASSERT_NE(overflow, 0u);

  const struct {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    std::string said;  // empty: nothing is skipped
  } cases[] = {
      {"intact", [](std::vector<uint8_t>&) {}, ""},
      {"free list loops", [&](std::vector<uint8_t>& b) { putBe32(b, (trunk - 1) * 512, trunk); },
       "the free list is cut where it loops back to page"},
      {"free list leaves the file", [&](std::vector<uint8_t>& b) { putBe32(b, 32, pages + 9); },
       "the free list is cut: it points to page"},
      {"b-tree child beyond the file", [&](std::vector<uint8_t>& b) { putBe32(b, rootAt + 8, pages + 40); },
       "the b-tree points to page " + std::to_string(pages + 40)},
      {"overflow chain cut", [&](std::vector<uint8_t>& b) { putBe32(b, overflow, 0); }, "1 rows on page"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> b = intact;
    c.damage(b);
    SqliteFileReader reader;
    ASSERT_EQ(reader.openMemory(b), kOk);
    std::string all;
    for (const auto& part : reader.findDamage()) all += part + "\n";
    if (c.said.empty()) {
      EXPECT_EQ(all, "");
    } else {
      EXPECT_NE(all.find(c.said), std::string::npos) << all;
    }
  }
}

TEST(Reader, ALeafWithOneCellIsReadAtItsContentStart) {
  std::vector<uint8_t> page(512, 0);
  page[0] = kLeafTablePage;
  page[3] = 0;
  page[4] = 1;  // one cell
  page[5] = 0x01;
  page[6] = 0x90;  // content area starts at 400
  page[8] = 0x01;
  page[9] = 0x2C;  // its pointer says 300
  SqliteFileReader reader;
  EXPECT_EQ(reader.cellOffsets(page, 1), (std::vector<uint16_t>{400}));
  page[4] = 2;
  page[10] = 0x01;
  page[11] = 0x90;
  EXPECT_EQ(reader.cellOffsets(page, 1), (std::vector<uint16_t>{300, 400}));
}

TEST(Reader, AFreeBlockOfSizeZeroHidesNoRecordOfTheFreeSpace) {
  // A leaf with no cells and two chained free blocks; the first has size 0.
  std::vector<uint8_t> page(512, 0);
  page[0] = kLeafTablePage;
  page[1] = 0x01;
  page[2] = 0x00;  // first free block at 256
  page[256] = 0x01;
  page[257] = 0x40;  // next at 320
  page[320 + 2] = 0;
  page[320 + 3] = 7;
  page[324] = 0x00;  // a record of two NULL columns and ...
  page[325] = 0x0F;  // ... a one-byte text
  page[326] = 'x';
  TableSchema schema = ParseCreateTable("CREATE TABLE t (a, b)");
  const TableSignature signature = SignatureOf(schema, 0);
  auto found = [&] {
    RecordScanner scanner(signature);
    std::vector<uint32_t> offsets;
    for (const RecordReading& r : scanner.scan(page, FreeRegionsOf(page, 1, 512, FreePageKind::TreeLeaf))) {
      offsets.push_back(r.typesAt);
    }
    return offsets;
  };
  EXPECT_EQ(found(), (std::vector<uint32_t>{324}));
  page[259] = 8;  // the first block gets a size: the same record, once
  EXPECT_EQ(found(), (std::vector<uint32_t>{324}));
}

}  // namespace
}  // namespace fq::test

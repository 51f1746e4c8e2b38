// The modern notes store: gzip/protobuf note bodies and the note rows of a
// real iOS 17 NoteStore.sqlite (skipped when the shared corpora are absent).
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/categories/NoteStoreBody.h"
#include "engine/categories/NoteStoreReader.h"
#include "engine/sqlite/ReadOnlyDatabase.h"
#include "tests/categories/PhoneFixture.h"
#include "tools/backupbuilder/NoteStoreDatabase.h"

namespace fq::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Varint(uint64_t v) {
  Bytes out;
  do {
    out.push_back(static_cast<uint8_t>((v & 0x7F) | (v > 0x7F ? 0x80 : 0)));
    v >>= 7;
  } while (v != 0);
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A length-delimited protobuf field.
Bytes Field(uint64_t number, const Bytes& value) {
  return Cat({Varint(number << 3 | 2), Varint(value.size()), value});
}
Bytes Field(uint64_t number, std::string_view text) { return Field(number, Bytes(text.begin(), text.end())); }

// A note document as the notes app stores it: 2 (document) -> 3 (note) -> 2 (text),
// with the neighbouring fields real documents carry.
Bytes Document(std::string_view text) {
  const Bytes note = Cat({Field(2, text), Field(3, Bytes{0x08, 0x00})});
  const Bytes document = Cat({Bytes{0x08, 0x00}, Bytes{0x10, 0x00}, Field(3, note)});
  return Cat({Bytes{0x08, 0x00}, Field(2, document)});
}

// `data` compressed as gzip (windowBits 31) or zlib (15).
Bytes Compress(const Bytes& data, int windowBits = 31) {
  z_stream s{};
  EXPECT_EQ(deflateInit2(&s, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes out(deflateBound(&s, data.size()) + 32);
  s.next_in = const_cast<Bytef*>(data.data());
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

TEST(NoteStoreBody, TakesTheTextOfTheDocumentAndRefusesDamage) {
  const Bytes good = Compress(Document("Shopping\nmilk"));
  Bytes truncated = good;
  truncated.resize(good.size() - 6);
  Bytes corrupt = good;
  corrupt[good.size() / 2] ^= 0xFF;
  const Bytes noNote = Compress(Cat({Field(2, Cat({Bytes{0x08, 0x00}, Field(4, "x")}))}));
  const Bytes lengthPastEnd = Compress(Cat({Field(2, Cat({Field(3, Bytes{0x12, 0x7F, 'a'})}))}));
  const Bytes overlongVarint = Compress(Bytes(12, 0xFF));
  const Bytes groupField = Compress(Bytes{0x0B, 0x0C});
  const Bytes damagedUtf8 = Compress(Document("caf\xC3"));
  struct Case {
    const char* what;
    Bytes zdata;
    std::optional<std::string> text;
  };
  const Case cases[] = {
      {"gzip document", good, "Shopping\nmilk"},
      {"zlib document", Compress(Document("zlib too"), 15), "zlib too"},
      {"empty note text", Compress(Document("")), ""},
      {"gzip cut short", truncated, std::nullopt},
      {"gzip with a damaged byte", corrupt, std::nullopt},
      {"not compressed at all", Document("plain"), std::nullopt},
      {"encrypted data of a locked note", Bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0'}, std::nullopt},
      {"nothing", Bytes{}, std::nullopt},
      {"document without a note", noNote, std::nullopt},
      {"text length past its message", lengthPastEnd, std::nullopt},
      {"varint of more than ten bytes", overlongVarint, std::nullopt},
      {"group wire type", groupField, std::nullopt},
      {"damaged UTF-8 in the text", damagedUtf8, "caf\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) EXPECT_EQ(NoteTextOfNoteData(c.zdata), c.text) << c.what;
}

TEST(NoteStoreBody, InflatesNoMoreThanItsLimit) {
  const Bytes zeros(100000, 0);
  const Bytes compressed = Compress(zeros);
  EXPECT_LT(compressed.size(), 1000u);
  EXPECT_EQ(InflateBounded(compressed, zeros.size()), zeros);
  EXPECT_FALSE(InflateBounded(compressed, zeros.size() - 1).has_value());
}

const std::filesystem::path kNoteStore = std::filesystem::path(FERNQUILL_SHARED_DIR) / "corpora" /
                                         "ios-real" / "notestore-ios17" / "NoteStore.sqlite";

// Expected values taken from the file with the sqlite3 shell and Python's
// zlib, not with this reader.
TEST(NoteStoreReader, ReadsTheNotesOfARealIos17Store) {
  if (!std::filesystem::exists(kNoteStore)) GTEST_SKIP() << "no " << kNoteStore;
  ScopedTimeZone zone("UTC0");
  std::vector<NoteRecord> notes;
  ASSERT_EQ(readNoteStore(kNoteStore, notes), kOk);
  const std::vector<NoteRecord> expected = {
      {0, 3, "2021-02-15 20:22:13", "iOS 14 Note",
       "iOS 14 Note\n\nThis is a note created for iOS 14.  It is created on iPhone. "},
      {0, 5, "2023-05-10 00:57:01", "iOS 15 Note", "iOS 15 Note\n\nHere is the test iOS 15 note. "},
      {0, 6, "2020-03-28 00:37:43", "My First Note",
       "My First Note\n\nThis is my first note.  Nothing special. \n"},
      {0, 8, "2024-01-17 22:00:59", "iOS 16 Note",
       "iOS 16 Note\n\nHere is my first iOS 16 note. \n\nThis is DFIR Two. I wrote this sentence. "},
      // Password-protected: the title only.
      {0, 10, "2023-05-10 00:59:42", "Secure iOS 15 Note", ""},
      {0, 11, "2021-02-15 20:37:54", "iOS 14 Locked Note", ""},
      {0, 12, "2020-03-28 00:49:13", "My Super Secret Note", ""},
      {0, 13, "2020-03-28 00:42:56", "My Secret Note", ""},
      {0, 14, "2024-01-17 21:56:26", "iOS 16 Secure Note", ""},
      {0, 15, "2024-07-28 14:21:19", "My iOS 17 Note", "My iOS 17 Note\nTest note 1"},
      {0, 16, "2024-07-28 14:22:46", "Shared iOS 17 Note", "Shared iOS 17 Note\nMy shared iOS 17 note "},
      // Marked for deletion by the user and still stored; its body row holds no data.
      {1, 17, "2024-07-28 14:24:45", "New Note", ""},
      // Row 43 (key 18: marked for deletion, no title, empty text) has nothing to show.
      {0, 19, "2024-07-28 14:25:09", "iOS 17 Locked Note", ""},
  };
  // The reader gives the rows in the order of the table's pages.
  std::sort(notes.begin(), notes.end(),
            [](const NoteRecord& a, const NoteRecord& b) { return a.key < b.key; });
  EXPECT_EQ(notes.size(), expected.size());
  for (size_t i = 0; i < std::min(notes.size(), expected.size()); ++i) {
    EXPECT_EQ(notes[i], expected[i]) << i << ": " << notes[i].title;
  }
}

// Each row of `sql` as one text, its columns joined by '|'.
std::vector<std::string> rowsOf(const std::filesystem::path& path, const char* sql) {
  std::vector<std::string> rows;
  ReadOnlyDatabase db(path);
  EXPECT_TRUE(db.ok()) << path;
  sqlite3_stmt* st = nullptr;
  if (!db.ok() || sqlite3_prepare_v2(db.handle(), sql, -1, &st, nullptr) != SQLITE_OK) return rows;
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::string row;
    for (int c = 0; c < sqlite3_column_count(st); ++c) {
      const auto* text = sqlite3_column_text(st, c);
      row += (c ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "NULL");
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(st);
  return rows;
}

class NoteStoreLayoutTest : public PhoneFixture {};

// The builder's iOS 17 store has the real store's object table, column for
// column, and its entity numbers: what the phone-layout tests read is the
// real layout.
TEST_F(NoteStoreLayoutTest, TheBuildersIos17StoreHasTheRealLayout) {
  if (!std::filesystem::exists(kNoteStore)) GTEST_SKIP() << "no " << kNoteStore;
  builder::NoteStoreNote note{
      .rowId = 5, .dataRowId = 1, .title = "A", .modifiedAppleSeconds = 1, .text = "A"};
  const auto built =
      writeDatabase("NoteStore.sqlite", builder::NoteStoreDatabase({note}, {}, builder::PhoneSystem::Ios17));
  for (const char* sql : {"SELECT name, type, pk FROM pragma_table_info('ZICCLOUDSYNCINGOBJECT')",
                          "SELECT name, type, pk FROM pragma_table_info('ZICNOTEDATA')",
                          "SELECT Z_ENT, Z_NAME, Z_SUPER FROM Z_PRIMARYKEY ORDER BY Z_ENT"}) {
    SCOPED_TRACE(sql);
    const auto real = rowsOf(kNoteStore, sql);
    EXPECT_FALSE(real.empty());
    EXPECT_EQ(rowsOf(built, sql), real);
  }
}

TEST(NoteStoreReader, BothStoresTogether) {
  std::vector<NoteRecord> notes;
  EXPECT_NE(readAllNotes("/nonexistent/notes.sqlite", "/nonexistent/NoteStore.sqlite", notes), kOk);
  EXPECT_TRUE(notes.empty());
  if (!std::filesystem::exists(kNoteStore)) GTEST_SKIP() << "no " << kNoteStore;
  // A backup of a modern phone has no legacy notes database: its notes still count.
  EXPECT_EQ(readAllNotes("/nonexistent/notes.sqlite", kNoteStore, notes), kOk);
  EXPECT_EQ(notes.size(), 13u);
}

}  // namespace
}  // namespace fq::test

// The raw table dumps sms.csv and Contacts.csv: field formats, row ids of
// deleted rows, the replaced fields of deleted messages and line ends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cerrno>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>

#include "engine/categories/ContactsReader.h"
#include "engine/categories/DumpLine.h"
#include "engine/categories/MessagesReader.h"
#include "engine/sqlite/AppleTime.h"
#include "engine/sqlite/LibraryColumnValue.h"
#include "tests/categories/PhoneFixture.h"
#include "tools/backupbuilder/AttributedBodyArchive.h"
#include "tools/backupbuilder/RealPhoneLayouts.h"

namespace fq::test {
namespace {

using builder::MessageLayout;
using builder::MessageRow;

constexpr int64_t kBase = 573091200;

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lines without their CR LF; fails when a line does not end with it.
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end = text.find('\n'); end != std::string::npos;
       start = end + 1, end = text.find('\n', start)) {
    EXPECT_TRUE(end > start && text[end - 1] == '\r') << "line without CR LF";
    lines.push_back(text.substr(start, end - start - 1));
  }
  EXPECT_EQ(start, text.size()) << "text after the last line end";
  return lines;
}

// Fields of a line whose quoted texts hold no comma.
std::vector<std::string> splitFields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t comma = line.find(','); comma != std::string::npos;
       start = comma + 1, comma = line.find(',', start)) {
    fields.push_back(line.substr(start, comma - start));
  }
  fields.push_back(line.substr(start));
  return fields;
}

MessageRow messageRow(int64_t rowId, std::string text, std::string accountGuid, bool fromMe = false) {
  MessageRow m;
  m.rowId = rowId;
  char guid[40];
  std::snprintf(guid, sizeof guid, "AAAAAAAA-BBBB-CCCC-DDDD-%012llX", static_cast<unsigned long long>(rowId));
  m.guid = guid;
  m.text = std::move(text);
  m.handleRowId = 1;
  m.accountGuid = std::move(accountGuid);
  m.appleSeconds = kBase + rowId * 60;
  m.fromMe = fromMe;
  return m;
}

class TableDumpTest : public PhoneFixture {};

TEST_F(TableDumpTest, SmsCsvWritesLiveRowsFieldByField) {
  constexpr auto layout = MessageLayout::Seconds38;
  auto statements = builder::CreateMessageTables(layout);
  MessageRow quoted = messageRow(1, "He said \"hi\" and it's fine", "");
  quoted.attributedBody = {0x04, 0x0B, 0xFF};
  statements.push_back(builder::InsertMessage(layout, quoted));
  statements.push_back(builder::InsertMessage(layout, messageRow(2, "second", "", true)));
  const auto csv = folder() / "sms.csv";
  ASSERT_EQ(writeMessagesCsv(writeDatabase("sms.db", statements), csv, 20000), 0);

  const auto lines = splitLines(readFile(csv));
  ASSERT_EQ(lines.size(), 2u);  // no header line
  const auto f = splitFields(lines[0]);
  ASSERT_EQ(f.size(), 38u);
  EXPECT_EQ(f[0], "1");
  EXPECT_EQ(f[1], "\"AAAAAAAA-BBBB-CCCC-DDDD-000000000001\"");
  EXPECT_EQ(f[2], "\"He said \"\"hi\"\" and it''s fine\"");
  EXPECT_EQ(f[3], "0");  // the stored constant 0
  EXPECT_EQ(f[4], "NULL");
  EXPECT_EQ(f[5], "1");       // handle 1, the stored constant 1
  EXPECT_EQ(f[8], "040bff");  // attributed body as hexadecimal
  EXPECT_EQ(f[9], "10");
  EXPECT_EQ(f[11], "\"iMessage\"");
  EXPECT_EQ(f[15], std::to_string(kBase + 60));
  EXPECT_EQ(f[19], "1");
  EXPECT_EQ(f[37], "NULL");  // the last column has no comma after it
  const auto second = splitFields(lines[1]);
  EXPECT_EQ(second[0], "2");
  EXPECT_EQ(second[21], "1");

  // A second export appends.
  ASSERT_EQ(writeMessagesCsv(folder() / "sms.db", csv, 20000), 0);
  EXPECT_EQ(splitLines(readFile(csv)).size(), 4u);
}

TEST_F(TableDumpTest, SmsCsvGivesDeletedRowsNewIdsAndGuids) {
  constexpr auto layout = MessageLayout::Seconds38;
  const std::string account = "0A1B2C3D-4E5F-4061-8273-94A5B6C7D8E9";
  auto statements = builder::CreateMessageTables(layout);
  statements.push_back(builder::InsertMessage(layout, messageRow(1, "live one", account)));
  statements.push_back(builder::InsertMessage(layout, messageRow(2, "deleted and well formed", account)));
  statements.push_back(builder::InsertMessage(layout, messageRow(3, "live three", account)));
  statements.push_back(
      builder::InsertMessage(layout, messageRow(4, "deleted with a damaged account", "not a guid")));
  statements.push_back(builder::InsertMessage(layout, messageRow(5, "live five", account)));
  const auto sms = writeDatabase("sms.db", statements, {"DELETE FROM message WHERE ROWID IN (2, 4)"});
  const auto csv = folder() / "sms.csv";
  const int64_t before = static_cast<int64_t>(std::time(nullptr)) - kAppleEpochOffset;
  ASSERT_EQ(writeMessagesCsv(sms, csv, 254), 0);
  const int64_t after = static_cast<int64_t>(std::time(nullptr)) - kAppleEpochOffset;

  std::vector<std::vector<std::string>> deleted;
  std::vector<std::string> liveIds;
  for (const auto& line : splitLines(readFile(csv))) {
    auto f = splitFields(line);
    ASSERT_EQ(f.size(), 38u) << line;
    if (f[0] == "1" || f[0] == "3" || f[0] == "5") {
      liveIds.push_back(f[0]);
      EXPECT_EQ(f[1].substr(0, 9), "\"AAAAAAAA");
    } else {
      deleted.push_back(std::move(f));
    }
  }
  EXPECT_THAT(liveIds, ::testing::ElementsAre("1", "3", "5"));
  // Only the row whose account GUID is well formed is written.
  ASSERT_EQ(deleted.size(), 1u);
  const auto& d = deleted[0];
  EXPECT_EQ(d[0], "255");
  EXPECT_EQ(d[1], "\"27B99F78-F6F0-475F-8BA1-0000000000FF\"");
  EXPECT_EQ(d[2], "\"deleted and well formed\"");
  EXPECT_EQ(d[19], "1");
  EXPECT_EQ(d[26], "1");  // not from me
  EXPECT_GE(std::stoll(d[15]), before);
  EXPECT_LE(std::stoll(d[15]), after);
  EXPECT_EQ(d[16], d[15]);
}

// The live rows of `table` as the dump must write them, from the SQLite
// library's SELECT: the row id, then every column by the dump's field rules,
// the attributed body as hexadecimal.
std::map<std::string, std::string> libraryLines(const std::filesystem::path& path) {
  std::map<std::string, std::string> lines;
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, "SELECT ROWID, * FROM message", -1, &st, nullptr), SQLITE_OK);
  while (st != nullptr && sqlite3_step(st) == SQLITE_ROW) {
    const std::string rowId = std::to_string(sqlite3_column_int64(st, 0));
    std::string line = rowId;
    for (int c = 2; c < sqlite3_column_count(st); ++c) {
      const ColumnValue v = LibraryColumnValue(st, c);
      const auto bytes = std::span(reinterpret_cast<const uint8_t*>(v.bytes.data()), v.bytes.size());
      std::string field;
      if (v.kind == ColumnValue::Kind::Integer) {
        field = std::to_string(v.integer);
      } else if (v.kind == ColumnValue::Kind::Real) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", v.real);
        field = text;
      } else if (v.kind == ColumnValue::Kind::Null || v.bytes.empty()) {
        field = "NULL";
      } else if (std::string_view(sqlite3_column_name(st, c)) == "attributedBody") {
        AppendHexField(field, bytes);
      } else {
        AppendQuotedField(field, bytes);
      }
      line += "," + field;
    }
    lines[rowId] = line;
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return lines;
}

// The message table of each real layout: live rows equal the library's, every
// 64-bit date written; deleted rows get their replaced fields at the columns
// the table names, also where a table keeps them elsewhere; the old copies of
// rewritten rows are no deleted rows.
TEST_F(TableDumpTest, SmsCsvOfRealLayoutsMatchesTheLibrary) {
  using builder::PhoneSystem;
  struct Case {
    const char* name;
    std::vector<std::string> statements;
    size_t columns;
    size_t guid, text, date;
  };
  std::vector<Case> cases;
  const std::string account = "0A1B2C3D-4E5F-4061-8273-94A5B6C7D8E9";
  for (const auto& [name, system] :
       {std::pair{"iOS 8", PhoneSystem::Ios8}, std::pair{"iOS 13", PhoneSystem::Ios13},
        std::pair{"iOS 14", PhoneSystem::Ios14}, std::pair{"iOS 17", PhoneSystem::Ios17}}) {
    Case c{name, builder::RealMessageTables(system), 0, 1, 2, 15};
    for (int64_t i = 1; i <= 12; ++i) {
      MessageRow m =
          messageRow(i, "Message " + std::to_string(i) + " of the " + name + " phone", account, i % 2 == 0);
      // Since iOS 16 many rows keep their text only in the attributed body.
      if (system == PhoneSystem::Ios17 && i % 3 == 0) {
        m.attributedBody = builder::AttributedBodyArchive(*m.text);
        m.text.reset();
      }
      c.statements.push_back(builder::RealInsertMessage(system, m));
    }
    c.columns = system == PhoneSystem::Ios8    ? 38
                : system == PhoneSystem::Ios13 ? 68
                : system == PhoneSystem::Ios14 ? 74
                                               : 0;
    cases.push_back(std::move(c));
  }
  {
    // A table that keeps the same columns in another order.
    Case c{"columns in another order", {}, 9, 3, 1, 5};
    c.statements.push_back(
        "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, text TEXT, handle_id INTEGER, guid "
        "TEXT, "
        "account_guid TEXT, date INTEGER, date_read INTEGER, is_from_me INTEGER, attributedBody BLOB)");
    for (int64_t i = 1; i <= 12; ++i) {
      char guid[40];
      std::snprintf(guid, sizeof guid, "AAAAAAAA-BBBB-CCCC-DDDD-%012llX", static_cast<unsigned long long>(i));
      c.statements.push_back("INSERT INTO message VALUES (" + std::to_string(i) + ", 'Message " +
                             std::to_string(i) + " kept in its own order', 1, '" + guid + "', '" + account +
                             "', " + std::to_string((kBase + i * 60) * 1000000000) + ", 0, 0, NULL)");
    }
    cases.push_back(std::move(c));
  }
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = std::string("sms-") + std::to_string(&c - cases.data()) + ".db";
    // Rows 2 and 7 rewritten (their old copies stay in free space), 4 and 9 deleted.
    const auto sms =
        writeDatabase(file, c.statements,
                      {"UPDATE message SET text = text || ' edited', date_read = 1 WHERE ROWID IN (2, 7)",
                       "DELETE FROM message WHERE ROWID IN (4, 9)"});
    const auto csv = folder() / (file + ".csv");
    std::filesystem::remove(csv);
    const int64_t before = static_cast<int64_t>(std::time(nullptr)) - kAppleEpochOffset;
    ASSERT_EQ(writeMessagesCsv(sms, csv, 100), 0);
    std::map<std::string, std::string> expected = libraryLines(sms);
    ASSERT_EQ(expected.size(), 10u);
    int deleted = 0;
    for (const std::string& line : splitLines(readFile(csv))) {
      const std::string rowId = line.substr(0, line.find(','));
      if (const auto live = expected.find(rowId); live != expected.end()) {
        EXPECT_EQ(line, live->second);
        expected.erase(live);
        continue;
      }
      ++deleted;
      const auto f = splitFields(line);
      if (c.columns != 0) {
        EXPECT_EQ(f.size(), c.columns) << line;
      }
      ASSERT_GT(f.size(), std::max({c.guid, c.text, c.date})) << line;
      EXPECT_EQ(f[c.guid].substr(0, 25), "\"27B99F78-F6F0-475F-8BA1-") << line;
      EXPECT_THAT(f[c.text], ::testing::AnyOf(::testing::HasSubstr("Message 4 "),
                                              ::testing::HasSubstr("Message 9 "), ::testing::Eq("NULL")))
          << line;
      EXPECT_GE(std::stoll(f[c.date]), before) << line;
    }
    EXPECT_TRUE(expected.empty()) << "live rows missing from the dump: " << expected.size();
    EXPECT_GT(deleted, 0) << "no deleted message carved";
  }
}

TEST_F(TableDumpTest, ContactsCsvQuotesAndNumbersRows) {
  constexpr auto layout = builder::ContactLayout::Columns26;
  builder::ContactRow boss;
  boss.rowId = 1;
  boss.first = "Kate O'Neil";
  boss.last = "The \"Boss\"";
  boss.phone = builder::PhoneSpellings("5550104477");
  builder::ContactRow gone;
  gone.rowId = 2;
  gone.first = "Jordan";
  gone.last = "Blake";
  gone.phone = builder::PhoneSpellings("5550107711");
  builder::ContactRow live;
  live.rowId = 3;
  live.first = "Sam";
  live.phone = "5550109876 ";
  const auto book =
      writeDatabase("AddressBook.sqlitedb",
                    {builder::CreateContactTable(layout), builder::InsertContact(layout, boss),
                     builder::InsertContact(layout, gone), builder::InsertContact(layout, live)},
                    {"DELETE FROM ABPersonFullTextSearch_content WHERE docid = 2"});
  const auto csv = folder() / "Contacts.csv";
  ASSERT_EQ(writeContactsCsv(book, csv, 20000), 0);
  const auto lines = splitLines(readFile(csv));
  ASSERT_GE(lines.size(), 2u);
  const auto f = splitFields(lines[0]);
  ASSERT_EQ(f.size(), 26u);
  EXPECT_EQ(f[0], "1");
  EXPECT_EQ(f[1], "\"Kate O''Neil\"");
  EXPECT_EQ(f[2], "\"The \"\"Boss\"\"\"");
  EXPECT_EQ(f[3], "NULL");
  EXPECT_EQ(f[17], "\"" + builder::PhoneSpellings("5550104477") + "\"");
  EXPECT_EQ(f[25], "NULL");
  EXPECT_EQ(splitFields(lines[1])[0], "3");
  // The deleted contact, when carved, continues from the highest row id.
  for (size_t i = 2; i < lines.size(); ++i) {
    const auto d = splitFields(lines[i]);
    EXPECT_EQ(d[0], std::to_string(20000 + static_cast<int64_t>(i) - 1));
    EXPECT_THAT(lines[i], ::testing::HasSubstr("\"Jordan\",\"Blake\""));
  }
}

// A dump is written line by line as its table is read: what is already in the
// file stays in front, lines well past the write buffer arrive whole and in
// order, and a place that cannot take the file says why.
TEST_F(TableDumpTest, DumpFileAppendsEveryLineInOrder) {
  struct Case {
    const char* before;
    int lines;
  };
  for (const Case c : {Case{"", 0}, Case{"", 1}, Case{"old,line\r\n", 3}, Case{"x", 20000}}) {
    const auto csv = folder() / "dump.csv";
    std::filesystem::remove(csv);
    if (*c.before) std::ofstream(csv, std::ios::binary) << c.before;
    std::string expected = c.before;
    DumpFile file(csv);
    ASSERT_EQ(file.openResult(), 0);
    for (int i = 0; i < c.lines; ++i) {
      const std::vector<std::string> fields = {std::to_string(i), "\"text " + std::to_string(i) + "\"",
                                               "NULL"};
      file.addLine(fields);
      expected += fields[0] + "," + fields[1] + "," + fields[2] + "\r\n";
    }
    EXPECT_EQ(file.finish(), 0);
    EXPECT_EQ(readFile(csv), expected) << c.lines << " lines";
  }
  const auto folderInPlace = folder() / "taken.csv";
  std::filesystem::create_directory(folderInPlace);
  DumpFile refused(folderInPlace);
  EXPECT_EQ(refused.openResult(), EISDIR);
  refused.addLine({"1"});
  EXPECT_EQ(refused.finish(), EISDIR);
}

}  // namespace
}  // namespace fq::test

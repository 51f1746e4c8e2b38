// The table decoders on tables laid out as the phone's (real column
// positions): fields, accept/reject rules, deleted rows and the mends of
// integers 0/1, dates and floating-point values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <set>

#include "engine/categories/TableDecoders.h"
#include "engine/sqlite/AppleTime.h"
#include "tests/sqlite/TestDatabase.h"

namespace fq::test {
namespace {

using Values = std::vector<std::pair<int, std::string>>;  // column -> SQL literal

void insert(TestDatabase& db, const std::string& table, const Values& values) {
  std::string columns;
  std::string literals;
  for (const auto& [c, v] : values) {
    columns += (columns.empty() ? "c" : ", c") + std::to_string(c);
    literals += (literals.empty() ? "" : ", ") + v;
  }
  db.exec("INSERT INTO " + table + " (" + columns + ") VALUES (" + literals + ")");
}

std::string guid(int i) { return "'" + std::string(35, 'G') + std::to_string(i % 10) + "'"; }

class Decoders : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
};

TEST_F(Decoders, DatesCountFromTheAppleEpochWithoutCalendarShifts) {
  struct Case {
    const char* what;
    std::string got;
    const char* expected;
  };
  const Case cases[] = {
      {"epoch", DateFromAppleSeconds(0), "2001-01-01 00:00:00"},
      {"leap day 2004", DateFromAppleSeconds(1078012800 - kAppleEpochOffset), "2004-02-29 00:00:00"},
      {"after a leap year", DateFromAppleSeconds(1109635200 - kAppleEpochOffset), "2005-03-01 00:00:00"},
      {"before 2001", DateFromAppleSeconds(-86400), "2000-12-31 00:00:00"},
      {"nanoseconds", DateFromAppleNanoseconds(int64_t{500000000} * 1000000000 + 999999999),
       "2016-11-05 00:53:20"},
      {"double 5.0e8", DateFromAppleSecondsReal(5.0e8), "2016-11-05 00:53:20"},
      {"double after 2018", DateFromAppleSecondsReal(6.0e8 + 0.75), "2020-01-06 10:40:00"},
      {"double truncates toward zero", DateFromAppleSecondsReal(-0.5), "2001-01-01 00:00:00"},
      {"unix seconds", DateFromUnixSeconds(0), "1970-01-01 00:00:00"},
      {"not a number", DateFromAppleSecondsReal(std::nan("")), ""},
      {"beyond year 9999", DateFromAppleSeconds(INT64_MAX), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

TEST_F(Decoders, DatesFollowTheLocalTimeZone) {
  setenv("TZ", "America/New_York", 1);
  tzset();
  EXPECT_EQ(DateFromAppleSeconds(0), "2000-12-31 19:00:00");
}

// The date text against the library's own fields, written the plain way, in
// zones with daylight saving, half and quarter hours and offsets past twelve:
// at the ends of the accepted range, around the leap days and time changes,
// before 1970 and at random across the years.
TEST_F(Decoders, DatesMatchTheLocalTimeFieldsInEveryZone) {
  const auto plain = [](int64_t seconds) {
    const auto t = static_cast<time_t>(seconds);
    struct tm local {};
    if (localtime_r(&t, &local) == nullptr) return std::string();
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return std::string(text);
  };
  constexpr int64_t kLowest = -62167219200 + 86400;   // 0000-01-02 00:00:00 UTC
  constexpr int64_t kHighest = 253402300799 - 86400;  // 9999-12-30 23:59:59 UTC
  std::vector<int64_t> seconds = {kLowest,     kLowest + 1,  kHighest - 1, kHighest,   -1,
                                  0,           -86400 * 365, -2208988800,  951782400,  951868800,
                                  -2203891200, 4107542400,   4107456000,   1615705199, 1615705200,
                                  1636264799,  1636264800,   1648900800,   1664640000, 253370764800};
  std::mt19937_64 random(3);
  for (int i = 0; i < 500; ++i) {
    seconds.push_back(kLowest + static_cast<int64_t>(random() % static_cast<uint64_t>(kHighest - kLowest)));
  }
  for (const char* zone : {"UTC", "America/New_York", "Australia/Lord_Howe", "Asia/Kathmandu",
                           "Pacific/Kiritimati", "Pacific/Pago_Pago"}) {
    setenv("TZ", zone, 1);
    tzset();
    for (const int64_t s : seconds) EXPECT_EQ(DateFromUnixSeconds(s), plain(s)) << zone << " " << s;
  }
  setenv("TZ", "UTC", 1);
  tzset();
  const struct {
    int64_t seconds;
    const char* expected;
  } outside[] = {{kLowest - 1, ""},
                 {kHighest + 1, ""},
                 {INT64_MIN, ""},
                 {INT64_MAX, ""},
                 {kLowest, "0000-01-02 00:00:00"},
                 {kHighest, "9999-12-30 23:59:59"}};
  for (const auto& c : outside) EXPECT_EQ(DateFromUnixSeconds(c.seconds), c.expected) << c.seconds;
}

TEST_F(Decoders, MessageRowsKeepHandleOneAndDropEmptyTexts) {
  TestDatabase db("messages");
  db.exec(createTable("message", 38, "INTEGER PRIMARY KEY", {{1, "TEXT"}, {2, "TEXT"}}));
  insert(db, "message", {{1, guid(1)}, {2, "'hello'"}, {5, "1"}, {15, "500000000"}, {21, "1"}});
  insert(db, "message", {{1, guid(2)}, {2, "''"}, {5, "2"}, {15, "500000100"}, {21, "0"}});
  insert(db, "message", {{1, guid(3)}, {2, "'bye'"}, {5, "7"}, {15, "0"}, {21, "0"}});
  insert(db, "message", {{1, guid(4)}, {2, "'gone but not lost'"}, {5, "1"}, {15, "500000200"}, {21, "1"}});
  insert(db, "message", {{1, guid(5)}, {2, "'last'"}, {5, "300"}, {15, "500000300"}, {21, "2"}});
  db.exec("DELETE FROM message WHERE c0 = 4");
  db.close();

  SqliteFileReader reader;
  ASSERT_EQ(reader.open(db.path()), 0);
  std::vector<MessageRecord> records;
  ASSERT_EQ(DecodeMessageTable(reader, records), 0);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0], (MessageRecord{0, 1, 1, 1, "2016-11-05 00:53:20", "", "", "hello", ""}));
  EXPECT_EQ(records[1], (MessageRecord{0, 0, 3, 7, "2001-01-01 00:00:00", "", "", "bye", ""}));
  EXPECT_EQ(records[2], (MessageRecord{0, 0, 5, 300, "2016-11-05 00:58:20", "", "", "last", ""}));
  EXPECT_EQ(records[3], (MessageRecord{1, 1, 0, 1, "2016-11-05 00:56:40", "", "", "gone but not lost", ""}));
  EXPECT_EQ(reader.highestMessageRowId(), 5);
  EXPECT_EQ(reader.messageColumnCount(), 38);
}

TEST_F(Decoders, MessageHeaderSizeChoosesTheNewerLayoutWithNanosecondDates) {
  TestDatabase db("messages51");
  db.exec(createTable("message", 51, "INTEGER PRIMARY KEY", {{1, "TEXT"}, {2, "TEXT"}}));
  insert(db, "message", {{1, guid(1)}, {2, "'new'"}, {5, "2"}, {15, "600000000123456789"}});
  db.close();
  SqliteFileReader reader;
  ASSERT_EQ(reader.open(db.path()), 0);
  std::vector<MessageRecord> records;
  ASSERT_EQ(DecodeMessageTable(reader, records), 0);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].date, "2020-01-06 10:40:00");
  EXPECT_EQ(reader.messageColumnCount(), 51);
}

TEST_F(Decoders, MessageTablesOfTheSmallerLayoutKeep38Columns) {
  TestDatabase db("messages50");
  db.exec(createTable("message", 49, "INTEGER PRIMARY KEY", {{2, "TEXT"}}));  // header size 50
  insert(db, "message", {{2, "'x'"}});
  db.close();
  SqliteFileReader reader;
  ASSERT_EQ(reader.open(db.path()), 0);
  std::vector<MessageRecord> records;
  DecodeMessageTable(reader, records);
  EXPECT_EQ(reader.messageColumnCount(), 38);
}

TEST_F(Decoders, HandlesAttachmentsAndLinks) {
  TestDatabase db("links");
  db.exec(createTable("handle", 5, "INTEGER PRIMARY KEY", {{1, "TEXT"}}));
  db.exec(createTable("attachment", 9, "INTEGER PRIMARY KEY", {{4, "TEXT"}}));
  db.exec(createTable("message_attachment_join", 2, "INTEGER"));
  insert(db, "handle", {{1, "'+15551234567'"}});
  insert(db, "handle", {{1, "''"}});
  insert(db, "attachment", {{4, "'~/Library/SMS/Attachments/IMG_0001.JPG'"}});
  insert(db, "attachment", {{4, "NULL"}});
  insert(db, "message_attachment_join", {{0, "1"}, {1, "1"}});
  insert(db, "message_attachment_join", {{0, "0"}, {1, "70000"}});
  db.close();
  SqliteFileReader reader;
  ASSERT_EQ(reader.open(db.path()), 0);
  std::vector<HandleRecord> handles;
  std::vector<AttachmentRecord> attachments;
  std::vector<AttachmentLink> links;
  ASSERT_EQ(DecodeHandleTable(reader, handles), 0);
  ASSERT_EQ(DecodeAttachmentTable(reader, attachments), 0);
  ASSERT_EQ(DecodeAttachmentJoinTable(reader, links), 0);
  EXPECT_EQ(handles, (std::vector<HandleRecord>{{0, 1, "+15551234567"}}));
  EXPECT_EQ(attachments,
            (std::vector<AttachmentRecord>{{0, 1, 0, "~/Library/SMS/Attachments/IMG_0001.JPG"}}));
  EXPECT_EQ(links, (std::vector<AttachmentLink>{{0, 1, 1}, {0, 70000, 0}}));
}

TEST_F(Decoders, ContactsJoinNamesAndRejectControlCharactersInPhones) {
  for (const bool newer : {false, true}) {
    TestDatabase db(newer ? "contacts_new" : "contacts_old");
    db.exec(createTable("ABPersonFullTextSearch_content", 25, "INTEGER PRIMARY KEY",
                        {{1, "TEXT"},
                         {2, "TEXT"},
                         {7, "TEXT"},
                         {16, "TEXT"},
                         {17, "TEXT"},
                         {18, "TEXT"},
                         {19, "TEXT"},
                         {20, "TEXT"},
                         {21, "TEXT"}}));
    const int s = newer ? 1 : 0;
    insert(db, "ABPersonFullTextSearch_content",
           {{1, "'Ada'"},
            {2, "'Lovelace'"},
            {7, "'Engines Ltd'"},
            {16 + s, "'555 1234 5551234'"},
            {17 + s, "'ada@example.org'"},
            {18 + s, "'1 Analytical Way'"},
            {19 + s, "'@ada'"},
            {20 + s, "'https://ada.example'"}});
    insert(db, "ABPersonFullTextSearch_content", {{1, "'Bad'"}, {16 + s, "'555' || char(10) || '1234'"}});
    db.close();
    SqliteFileReader reader;
    reader.setNewerThan11(newer);
    ASSERT_EQ(reader.open(db.path()), 0);
    std::vector<ContactRecord> contacts;
    ASSERT_EQ(DecodeContactTable(reader, contacts), 0);
    ASSERT_EQ(contacts.size(), 1u) << (newer ? "newer" : "older");
    EXPECT_EQ(contacts[0],
              (ContactRecord{0, "ada@example.org", "1 Analytical Way", "@ada", "https://ada.example",
                             "555 1234 5551234", "Engines Ltd", "Ada Lovelace"}));
    EXPECT_EQ(reader.highestContactRowId(), 2);
  }
}

TEST_F(Decoders, CallRecordsReadDoublesAndIntegerZero) {
  TestDatabase db("calls");
  db.exec(createTable("ZCALLRECORD", 22, "INTEGER PRIMARY KEY",
                      {{12, "TIMESTAMP"}, {13, "FLOAT"}, {20, "VARCHAR"}}));
  insert(db, "ZCALLRECORD", {{10, "0"}, {12, "600000000.75"}, {13, "12.9"}, {20, "'+15550001'"}});
  insert(db, "ZCALLRECORD", {{10, "1"}, {12, "500000000"}, {13, "0"}, {20, "'+15550002'"}});
  insert(db, "ZCALLRECORD", {{10, "1"}, {12, "500000000"}, {13, "3"}, {20, "''"}});  // no number
  insert(db, "ZCALLRECORD", {{10, "1"}, {13, "3"}, {20, "'+15550003'"}});            // no date
  db.close();
  SqliteFileReader reader;
  ASSERT_EQ(reader.open(db.path()), 0);
  std::vector<CallRecord> calls;
  ASSERT_EQ(DecodeCallRecordTable(reader, calls), 0);
  EXPECT_EQ(calls, (std::vector<CallRecord>{{0, 1, 12, "2020-01-06 10:40:00", "+15550001", ""},
                                            {0, 0, 0, "2016-11-05 00:53:20", "+15550002", ""}}));
  EXPECT_EQ(reader.callTableKind(), 1);
}

TEST_F(Decoders, OlderCallTableCountsFrom1970AndRejectsControlCharacters) {
  TestDatabase db("oldcalls");
  db.exec(createTable("call", 21, "INTEGER PRIMARY KEY", {{20, "TEXT"}}));
  insert(db, "call", {{10, "0"}, {12, "86400"}, {13, "61"}, {20, "'5550100'"}});
  insert(db, "call", {{10, "1"}, {12, "86400"}, {13, "1"}, {20, "'555' || char(9) || '0100'"}});
  db.close();
  SqliteFileReader reader;
  ASSERT_EQ(reader.open(db.path()), 0);
  std::vector<CallRecord> calls;
  ASSERT_EQ(DecodeCallTable(reader, calls), 0);
  EXPECT_EQ(calls, (std::vector<CallRecord>{{0, 1, 61, "1970-01-02 00:00:00", "5550100", ""}}));
}

TEST_F(Decoders, NotesKeepBodyRowOneAndTheirKeys) {
  TestDatabase db("notes");
  db.exec(createTable("ZNOTEBODY", 7, "INTEGER PRIMARY KEY", {{4, "TEXT"}}));
  db.exec(createTable("ZNOTE", 20, "INTEGER PRIMARY KEY", {{14, "TIMESTAMP"}, {19, "TEXT"}}));
  insert(db, "ZNOTEBODY", {{4, "'<div>groceries</div>'"}});
  insert(db, "ZNOTEBODY", {{4, "'bad ' || char(0) || ' text'"}});  // NUL inside: rejected
  insert(db, "ZNOTE", {{11, "1"}, {14, "500000000.5"}, {19, "'Groceries'"}});
  insert(db, "ZNOTE", {{11, "2"}, {14, "500000000"}, {19, "NULL"}});
  db.close();
  SqliteFileReader reader;
  ASSERT_EQ(reader.open(db.path()), 0);
  std::vector<NoteRecord> bodies;
  std::vector<NoteRecord> notes;
  ASSERT_EQ(DecodeNoteBodyTable(reader, bodies), 0);
  ASSERT_EQ(DecodeNoteTable(reader, notes), 0);
  EXPECT_EQ(bodies, (std::vector<NoteRecord>{{0, 1, "", "", "<div>groceries</div>"}}));
  EXPECT_EQ(notes, (std::vector<NoteRecord>{{0, 1, "2016-11-05 00:53:20", "Groceries", ""},
                                            {0, 2, "2016-11-05 00:53:20", "", ""}}));
}

TEST_F(Decoders, WhatsAppMessagesOfChatOneAndTheNewerLayoutRule) {
  TestDatabase db("whatsapp");
  db.exec(createTable("ZWAMESSAGE", 33, "INTEGER PRIMARY KEY", {{25, "TIMESTAMP"}, {32, "VARCHAR"}}));
  insert(db, "ZWAMESSAGE",
         {{12, "1"}, {19, "1"}, {20, "0"}, {22, "9"}, {25, "600000000.9"}, {32, "'hi there'"}});
  insert(db, "ZWAMESSAGE", {{12, "0"}, {32, "'no chat, member or date'"}});
  db.close();
  for (const int32_t columns : {28, 33}) {
    SqliteFileReader reader;
    reader.setWhatsAppMessageColumnCount(columns);
    ASSERT_EQ(reader.open(db.path()), 0);
    std::vector<WhatsAppMessageRecord> messages;
    ASSERT_EQ(DecodeWhatsAppMessageTable(reader, messages), 0);
    ASSERT_EQ(messages.size(), columns > 28 ? 1u : 2u) << columns;
    EXPECT_EQ(messages[0].fromMe, 1);
    EXPECT_EQ(messages[0].chatRowId, 1);
    EXPECT_EQ(messages[0].memberRowId, 0);
    EXPECT_EQ(messages[0].mediaRowId, columns > 28 ? 9 : 0);
    EXPECT_EQ(messages[0].date, "2020-01-06 10:40:00");
    EXPECT_EQ(messages[0].text, "hi there");
    if (columns == 28) {
      EXPECT_EQ(messages[1].chatRowId, -1);
    }
  }
}

TEST_F(Decoders, WhatsAppChatsMembersAndMedia) {
  TestDatabase db("whatsapp_side");
  db.exec(createTable("ZWACHATSESSION", 25, "INTEGER PRIMARY KEY", {{20, "VARCHAR"}, {23, "VARCHAR"}}));
  db.exec(createTable("ZWAGROUPMEMBER", 13, "INTEGER PRIMARY KEY", {{10, "VARCHAR"}, {12, "VARCHAR"}}));
  db.exec(createTable("ZWAMEDIAITEM", 24, "INTEGER PRIMARY KEY", {{18, "VARCHAR"}}));
  insert(db, "ZWACHATSESSION", {{20, "'4915550001@s.whatsapp.net'"}, {23, "'Bob'"}});
  insert(db, "ZWACHATSESSION", {{20, "'family-group'"}, {23, "'Family'"}});
  insert(db, "ZWAGROUPMEMBER", {{7, "1"}, {10, "'Carol'"}, {12, "'4915550002@s.whatsapp.net'"}});
  insert(db, "ZWAGROUPMEMBER", {{7, "2"}, {10, "'Dan'"}, {12, "'4915550003'"}});
  insert(db, "ZWAMEDIAITEM", {{18, "'Media/a.jpg'"}});
  db.close();
  SqliteFileReader reader;
  ASSERT_EQ(reader.open(db.path()), 0);
  std::vector<WhatsAppChatRecord> chats;
  std::vector<WhatsAppMemberRecord> members;
  std::vector<WhatsAppMediaRecord> media;
  ASSERT_EQ(DecodeWhatsAppChatTable(reader, chats), 0);
  ASSERT_EQ(DecodeWhatsAppMemberTable(reader, members), 0);
  ASSERT_EQ(DecodeWhatsAppMediaTable(reader, media), 0);
  EXPECT_EQ(chats,
            (std::vector<WhatsAppChatRecord>{{1, "4915550001", "Bob", "", ""}, {2, "", "Family", "", ""}}));
  EXPECT_EQ(members,
            (std::vector<WhatsAppMemberRecord>{{1, 1, "4915550002", "Carol"}, {2, 2, "4915550003", "Dan"}}));
  EXPECT_EQ(media, (std::vector<WhatsAppMediaRecord>{{1, "Media/a.jpg"}}));
}

TEST_F(Decoders, DeletedMessagesComeBackAndLiveOnesNever) {
  TestDatabase db("message_churn", 1024);
  db.exec(createTable("message", 38, "INTEGER PRIMARY KEY", {{1, "TEXT"}, {2, "TEXT"}}));
  db.exec("BEGIN");
  for (int i = 1; i <= 600; ++i) {
    insert(db, "message",
           {{1, guid(i)},
            {2, "'message " + std::to_string(i) + "'"},
            {5, std::to_string(i % 4)},
            {15, std::to_string(500000000 + i)},
            {21, std::to_string(i % 2)}});
  }
  db.exec("COMMIT");
  db.exec("DELETE FROM message WHERE c0 % 5 = 0 OR c0 BETWEEN 200 AND 400");
  db.close();
  SqliteFileReader reader;
  ASSERT_EQ(reader.open(db.path()), 0);
  std::vector<MessageRecord> records;
  ASSERT_EQ(DecodeMessageTable(reader, records), 0);
  size_t live = 0;
  size_t deleted = 0;
  std::set<std::string> deletedTexts;
  for (const MessageRecord& m : records) {
    const int i = std::atoi(m.text.c_str() + 8);
    const bool wasDeleted = i % 5 == 0 || (i >= 200 && i <= 400);
    ASSERT_EQ(m.deleted, wasDeleted ? 1 : 0) << m.text;
    EXPECT_EQ(m.handleRowId, i % 4) << m.text;
    EXPECT_EQ(m.date, DateFromAppleSeconds(500000000 + i)) << m.text;
    EXPECT_EQ(m.fromMe, i % 2) << m.text;
    if (m.deleted) {
      deletedTexts.insert(m.text);
      // Carved rows lost their row id; intact cells of free pages keep it.
      EXPECT_TRUE(m.rowId == 0 || m.rowId == i) << m.text;
      ++deleted;
    } else {
      EXPECT_EQ(m.rowId, i);
      ++live;
    }
  }
  EXPECT_EQ(live, 320u);
  EXPECT_GE(deletedTexts.size(), 260u) << "the recall of the carving fell";
  std::printf("[ recall   ] deleted messages recovered: %zu of 280 (%zu records)\n", deletedTexts.size(),
              deleted);
}

}  // namespace
}  // namespace fq::test

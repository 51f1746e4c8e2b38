// The call history reader: the table choice, dates and durations of both
// tables, the contact names and the open failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/categories/CallHistoryReader.h"
#include "engine/sqlite/AppleTime.h"
#include "tests/categories/PhoneFixture.h"

namespace fq::test {
namespace {

using builder::CallRow;
using builder::ContactLayout;

constexpr int64_t kBase = 573091200;  // 2019-03-01 00:00:00 UTC

CallRow call(int64_t id, bool originated, double when, double duration, std::optional<std::string> number) {
  CallRow c;
  c.rowId = id;
  c.originated = originated;
  c.appleSeconds = when;
  c.unixSeconds = static_cast<int64_t>(when) + kAppleEpochOffset;
  c.duration = duration;
  c.number = std::move(number);
  return c;
}

class CallHistoryReaderTest : public PhoneFixture {
 protected:
  // The book of a system newer than 11 unless `older`.
  std::filesystem::path addressBook(bool older = false) {
    const auto layout = older ? ContactLayout::Columns25 : ContactLayout::Columns26;
    builder::ContactRow mia;
    mia.rowId = 1;
    mia.first = "Mia";
    mia.last = "Chen";
    mia.phone = builder::PhoneSpellings("5550104477") + "611 ";  // holds "611" too
    return writeDatabase("AddressBook.sqlitedb",
                         {builder::CreateContactTable(layout), builder::InsertContact(layout, mia)});
  }
  std::vector<CallRecord> readRecords(const std::vector<CallRow>& rows, bool tableNewerThan11, bool flag,
                                      int32_t* result = nullptr) {
    std::vector<std::string> statements = {builder::CreateCallRecordTable(tableNewerThan11)};
    for (const CallRow& r : rows) statements.push_back(builder::InsertCallRecord(tableNewerThan11, r));
    std::vector<CallRecord> calls;
    const int32_t r =
        readCalls(writeDatabase("CallHistory.storedata", statements), addressBook(), flag, calls);
    if (result) *result = r;
    return calls;
  }
};

TEST_F(CallHistoryReaderTest, ReadsZCallRecordWithNamesDatesAndDurations) {
  int32_t result = -1;
  const auto calls = readRecords(
      {call(1, false, kBase + 7200.75, 12.9, "+15550104477"), call(2, true, kBase + 3600.5, 0, "611"),
       call(3, true, kBase + 60, 30, std::nullopt), call(4, false, kBase + 90, 0, "+15550199999")},
      true, true, &result);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(calls.size(), 3u);  // the call without a number is dropped
  // Sorted by date.
  EXPECT_EQ(calls[0].number, "+15550199999");
  EXPECT_EQ(calls[0].name, "");
  EXPECT_EQ(calls[0].incoming, 1);
  EXPECT_EQ(calls[1].number, "611");
  EXPECT_EQ(calls[1].name, "");  // too short to be named, though the contact's text holds it
  EXPECT_EQ(calls[1].incoming, 0);
  EXPECT_EQ(calls[1].duration, 0);
  EXPECT_EQ(calls[1].date, LocalDateOfAppleSeconds(kBase + 3600));
  EXPECT_EQ(calls[2].name, "Mia Chen");
  EXPECT_EQ(calls[2].duration, 12);  // 12.9 s truncated
  EXPECT_EQ(calls[2].date, LocalDateOfAppleSeconds(kBase + 7200));
}

TEST_F(CallHistoryReaderTest, TheNumberColumnFollowsTheNewerThan11Flag) {
  EXPECT_EQ(readRecords({call(1, false, kBase, 5, "+15550104477")}, true, true).at(0).number, "+15550104477");
  const auto older = readRecords({call(1, false, kBase, 5, "+15550104477")}, false, false);
  ASSERT_EQ(older.size(), 1u);
  EXPECT_EQ(older[0].number, "+15550104477");
  // The declaration names the number's column, so a flag that does not fit
  // the table changes nothing.
  EXPECT_EQ(readRecords({call(1, false, kBase, 5, "+15550104477")}, false, true).at(0).number,
            "+15550104477");
}

TEST_F(CallHistoryReaderTest, AnEmptyZCallRecordTableIsStillTheTableRead) {
  // Both tables exist; the empty newer one wins, so the older one's rows are not read.
  std::vector<std::string> statements = {builder::CreateCallRecordTable(true), builder::CreateCallTable(),
                                         builder::InsertCall(call(1, false, kBase, 10, "+15550104477"))};
  std::vector<CallRecord> calls;
  EXPECT_EQ(readCalls(writeDatabase("CallHistory.storedata", statements), addressBook(), true, calls), 0);
  EXPECT_TRUE(calls.empty());
}

TEST_F(CallHistoryReaderTest, ReadsTheOlderCallTableInUnixSeconds) {
  std::vector<std::string> statements = {builder::CreateCallTable(),
                                         builder::InsertCall(call(1, false, kBase + 100, 42, "+15550104477")),
                                         builder::InsertCall(call(2, true, kBase + 50, 7, "5550123")),
                                         builder::InsertCall(call(3, true, kBase + 70, 7, "555\n0123"))};
  std::vector<CallRecord> calls;
  EXPECT_EQ(readCalls(writeDatabase("call_history.db", statements), addressBook(true), false, calls), 0);
  ASSERT_EQ(calls.size(), 2u);  // a number with a control character is rejected
  EXPECT_EQ(calls[0].number, "5550123");
  EXPECT_EQ(calls[0].incoming, 0);
  EXPECT_EQ(calls[1].name, "Mia Chen");
  EXPECT_EQ(calls[1].duration, 42);
  EXPECT_EQ(calls[1].incoming, 1);
  EXPECT_EQ(calls[1].date, LocalDateOfAppleSeconds(kBase + 100));
}

TEST_F(CallHistoryReaderTest, OpenFailures) {
  std::vector<CallRecord> calls;
  EXPECT_NE(readCalls(folder() / "missing.storedata", addressBook(), true, calls), 0);
  EXPECT_TRUE(calls.empty());
  // Without the address book the calls stay, unnamed, and the error is returned.
  std::vector<std::string> statements = {
      builder::CreateCallRecordTable(true),
      builder::InsertCallRecord(true, call(1, false, kBase, 5, "+15550104477"))};
  EXPECT_NE(readCalls(writeDatabase("CallHistory.storedata", statements), folder() / "missing.sqlitedb", true,
                      calls),
            0);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].name, "");
}

}  // namespace
}  // namespace fq::test

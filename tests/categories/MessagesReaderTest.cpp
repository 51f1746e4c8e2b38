// The messages reader: joins with handles, contacts and attachments, date
// order, both table layouts, progress stages and the open failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/ResultCodes.h"
#include "engine/categories/MessagesReader.h"
#include "tests/categories/PhoneFixture.h"

namespace fq::test {
namespace {

using builder::ContactLayout;
using builder::MessageLayout;
using builder::MessageRow;

constexpr int64_t kBase = 573091200;  // 2019-03-01 00:00:00 UTC

std::string guidOf(int64_t n) {
  char text[40];
  std::snprintf(text, sizeof text, "11111111-2222-3333-4444-%012llX", static_cast<unsigned long long>(n));
  return text;
}

MessageRow messageRow(int64_t rowId, int64_t handle, int64_t seconds, std::string text, bool fromMe = false) {
  MessageRow m;
  m.rowId = rowId;
  m.guid = guidOf(rowId);
  m.text = std::move(text);
  m.handleRowId = handle;
  m.appleSeconds = seconds;
  m.fromMe = fromMe;
  return m;
}

class MessagesReaderTest : public PhoneFixture {
 protected:
  std::filesystem::path addressBook() {
    builder::ContactRow mia;
    mia.rowId = 1;
    mia.first = "Mia";
    mia.last = "Chen";
    mia.phone = builder::PhoneSpellings("5550104477");
    builder::ContactRow sam;
    sam.rowId = 2;
    sam.first = "Sam";
    sam.phone = "+15550109876 ";
    return writeDatabase("AddressBook.sqlitedb", {builder::CreateContactTable(ContactLayout::Columns26),
                                                  builder::InsertContact(ContactLayout::Columns26, mia),
                                                  builder::InsertContact(ContactLayout::Columns26, sam)});
  }

  ConversationMap read(const std::filesystem::path& sms, int32_t* result = nullptr) {
    ConversationMap conversations;
    int64_t highest = 20000;
    const int32_t r = readMessages(sms, addressBook(), true, ProgressState{}, conversations, highest);
    if (result) *result = r;
    return conversations;
  }
};

TEST_F(MessagesReaderTest, JoinsHandlesContactsByEitherSubstringAndTheFirstAttachment) {
  constexpr auto layout = MessageLayout::Seconds38;
  auto statements = builder::CreateMessageTables(layout);
  statements.push_back(
      builder::InsertHandle(1, "+15550104477"));  // with country code: matches a spelling exactly
  statements.push_back(builder::InsertHandle(2, "5550109876"));  // without: inside "+15550109876"
  statements.push_back(builder::InsertHandle(3, "someone@example.com"));
  statements.push_back(builder::InsertMessage(layout, messageRow(1, 1, kBase + 10, "one")));
  statements.push_back(builder::InsertMessage(layout, messageRow(2, 2, kBase + 20, "two", true)));
  statements.push_back(builder::InsertMessage(layout, messageRow(3, 3, kBase + 30, "three")));
  statements.push_back(
      builder::InsertMessage(layout, messageRow(4, 9, kBase + 40, "four")));  // no such handle
  statements.push_back(builder::InsertAttachment(1, guidOf(101), "first.jpg"));
  statements.push_back(builder::InsertAttachment(2, guidOf(102), "second.jpg"));
  statements.push_back(builder::InsertAttachmentLink(1, 2));
  statements.push_back(builder::InsertAttachmentLink(1, 1));
  int32_t result = -1;
  const auto conversations = read(writeDatabase("sms.db", statements), &result);
  EXPECT_EQ(result, 0);

  ASSERT_EQ(conversations.size(), 4u);
  const MessageRecord& one = conversations.at(1).at(0);
  EXPECT_EQ(one.address, "+15550104477");
  EXPECT_EQ(one.contactName, "Mia Chen");
  EXPECT_EQ(one.attachment, "first.jpg");  // first in attachment order, not link order
  EXPECT_EQ(one.rowId, 1);
  EXPECT_EQ(one.deleted, 0);
  const MessageRecord& two = conversations.at(2).at(0);
  EXPECT_EQ(two.contactName, "Sam");
  EXPECT_EQ(two.fromMe, 1);
  EXPECT_EQ(two.attachment, "");
  EXPECT_EQ(conversations.at(3).at(0).contactName, "");
  const MessageRecord& orphan = conversations.at(9).at(0);
  EXPECT_EQ(orphan.address, "");
  EXPECT_EQ(orphan.contactName, "");
  EXPECT_EQ(orphan.text, "four");
}

TEST_F(MessagesReaderTest, SortsEachConversationByDateKeepingReadingOrderForEqualDates) {
  constexpr auto layout = MessageLayout::Seconds38;
  auto statements = builder::CreateMessageTables(layout);
  statements.push_back(builder::InsertHandle(1, "+15550104477"));
  statements.push_back(builder::InsertMessage(layout, messageRow(1, 1, kBase + 500, "late")));
  statements.push_back(builder::InsertMessage(layout, messageRow(2, 1, kBase + 100, "tie A")));
  statements.push_back(builder::InsertMessage(layout, messageRow(3, 1, kBase + 100, "tie B")));
  statements.push_back(builder::InsertMessage(layout, messageRow(4, 1, kBase + 50, "early")));
  const auto conversations = read(writeDatabase("sms.db", statements));
  std::vector<std::string> texts;
  for (const auto& m : conversations.at(1)) texts.push_back(m.text);
  EXPECT_THAT(texts, ::testing::ElementsAre("early", "tie A", "tie B", "late"));
}

TEST_F(MessagesReaderTest, DropsRowsWithoutText) {
  constexpr auto layout = MessageLayout::Seconds38;
  auto statements = builder::CreateMessageTables(layout);
  MessageRow empty = messageRow(1, 1, kBase, "");
  MessageRow null = messageRow(2, 1, kBase, "");
  null.text.reset();
  statements.push_back(builder::InsertMessage(layout, empty));
  statements.push_back(builder::InsertMessage(layout, null));
  statements.push_back(builder::InsertMessage(layout, messageRow(3, 1, kBase, "kept")));
  const auto conversations = read(writeDatabase("sms.db", statements));
  ASSERT_EQ(conversations.size(), 1u);
  ASSERT_EQ(conversations.at(1).size(), 1u);
  EXPECT_EQ(conversations.at(1)[0].text, "kept");
}

class MessageLayoutTest : public MessagesReaderTest, public ::testing::WithParamInterface<MessageLayout> {};

TEST_P(MessageLayoutTest, ReadsTheDateOfEitherLayout) {
  const MessageLayout layout = GetParam();
  auto statements = builder::CreateMessageTables(layout);
  const int64_t when = kBase + 12 * 3600 + 34 * 60 + 56;
  statements.push_back(builder::InsertMessage(layout, messageRow(7, 1, when, "dated")));
  const auto conversations = read(writeDatabase("sms.db", statements));
  ASSERT_EQ(conversations.at(1).size(), 1u);
  EXPECT_EQ(conversations.at(1)[0].date, LocalDateOfAppleSeconds(when));
}

INSTANTIATE_TEST_SUITE_P(Layouts, MessageLayoutTest,
                         ::testing::Values(MessageLayout::Seconds38, MessageLayout::Nanoseconds51));

TEST_F(MessagesReaderTest, ReportsEachStageAndStopsOnANonzeroAnswer) {
  constexpr auto layout = MessageLayout::Seconds38;
  auto statements = builder::CreateMessageTables(layout);
  statements.push_back(builder::InsertMessage(layout, messageRow(42, 1, kBase, "hello")));
  const auto sms = writeDatabase("sms.db", statements);
  const auto book = addressBook();

  std::vector<int32_t> reports;
  ProgressState progress;
  progress.current = 40;
  progress.step = 10;
  progress.callback = [&](int32_t percent) {
    reports.push_back(percent);
    return 0;
  };
  ConversationMap conversations;
  int64_t highest = 20000;
  EXPECT_EQ(readMessages(sms, book, true, progress, conversations, highest), 0);
  EXPECT_THAT(reports, ::testing::ElementsAre(42, 42, 43, 45, 50, 50));
  EXPECT_EQ(conversations.size(), 1u);
  EXPECT_EQ(highest, 42);

  reports.clear();
  conversations.clear();
  progress.callback = [&](int32_t percent) {
    reports.push_back(percent);
    return 2;
  };
  EXPECT_EQ(readMessages(sms, book, true, progress, conversations, highest), 2);
  EXPECT_TRUE(conversations.empty());
  EXPECT_THAT(reports, ::testing::ElementsAre(42, 50));
}

TEST_F(MessagesReaderTest, OpenFailures) {
  constexpr auto layout = MessageLayout::Seconds38;
  auto statements = builder::CreateMessageTables(layout);
  statements.push_back(builder::InsertHandle(1, "+15550104477"));
  statements.push_back(builder::InsertMessage(layout, messageRow(1, 1, kBase, "hello")));
  const auto sms = writeDatabase("sms.db", statements);
  ConversationMap conversations;
  int64_t highest = 20000;
  // A missing file is the generic failure, never the cancel code 2 (ENOENT).
  EXPECT_EQ(readMessages(folder() / "missing.db", addressBook(), true, {}, conversations, highest), kInvalid);
  EXPECT_TRUE(conversations.empty());
  EXPECT_EQ(highest, 20000);
  // Without the address book the messages are still listed, without names.
  EXPECT_EQ(readMessages(sms, folder() / "missing.sqlitedb", true, {}, conversations, highest), kInvalid);
  ASSERT_EQ(conversations.size(), 1u);
  EXPECT_EQ(conversations.at(1).at(0).address, "+15550104477");
  EXPECT_EQ(conversations.at(1).at(0).contactName, "");
}

}  // namespace
}  // namespace fq::test

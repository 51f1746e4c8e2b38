// The WhatsApp reader: chats, members, senders, media paths, the table layouts
// and the column count of each reading.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/ResultCodes.h"
#include "engine/categories/WhatsAppReader.h"
#include "tests/categories/PhoneFixture.h"

namespace fq::test {
namespace {

using builder::WhatsAppLayout;
using builder::WhatsAppMessageRow;

constexpr double kBase = 573091200.25;  // 2019-03-01 00:00:00.25 UTC

WhatsAppMessageRow message(int64_t id, std::optional<int64_t> chat, std::optional<std::string> text,
                           double offset = 0) {
  WhatsAppMessageRow m;
  m.rowId = id;
  m.chatRowId = chat;
  m.text = std::move(text);
  m.appleSeconds = kBase + offset;
  return m;
}

class WhatsAppReaderTest : public PhoneFixture {
 protected:
  std::vector<std::string> chatsAndMembers(WhatsAppLayout layout) {
    auto s = builder::CreateWhatsAppTables(layout);
    s.push_back(
        builder::InsertWhatsAppChat(1, std::string("15550104477@s.whatsapp.net"), std::string("Mia")));
    s.push_back(
        builder::InsertWhatsAppChat(2, std::string("120363000000000001@g.us"), std::string("Walkers")));
    s.push_back(
        builder::InsertWhatsAppMember(1, 2, std::string("Mia"), std::string("15550104477@s.whatsapp.net")));
    s.push_back(
        builder::InsertWhatsAppMember(2, 2, std::string("Sam"), std::string("15550109876@s.whatsapp.net")));
    s.push_back(builder::InsertWhatsAppMember(3, 2, std::string(""), std::string("15550102233")));
    s.push_back(
        builder::InsertWhatsAppMedia(1, std::string("Media/15550104477@s.whatsapp.net/2/7/photo.jpg")));
    return s;
  }
  const WhatsAppMessageRecord* find(const WhatsAppChatMap& chats, int32_t rowId) {
    for (const auto& [chat, messages] : chats) {
      for (const auto& m : messages) {
        if (m.rowId == rowId) return &m;
      }
    }
    return nullptr;
  }
};

TEST_F(WhatsAppReaderTest, JoinsChatsMembersSendersAndMedia) {
  constexpr auto layout = WhatsAppLayout::Newer34;
  auto s = chatsAndMembers(layout);
  s.push_back(builder::InsertWhatsAppMessage(layout, message(1, 1, "hi", 10)));
  WhatsAppMessageRow mine = message(2, 1, "hello back", 20);
  mine.fromMe = true;
  s.push_back(builder::InsertWhatsAppMessage(layout, mine));
  WhatsAppMessageRow first = message(3, 2, "first of the group run", 30);
  first.memberRowId = 2;
  s.push_back(builder::InsertWhatsAppMessage(layout, first));
  WhatsAppMessageRow memberOne = message(4, 2, "member one", 40);
  memberOne.memberRowId = 1;
  s.push_back(builder::InsertWhatsAppMessage(layout, memberOne));
  WhatsAppMessageRow mineInGroup = message(5, 2, "mine in the group", 50);
  mineInGroup.fromMe = true;
  mineInGroup.memberRowId = 2;
  s.push_back(builder::InsertWhatsAppMessage(layout, mineInGroup));
  WhatsAppMessageRow photo = message(6, 1, std::nullopt, 60);
  photo.mediaRowId = 1;
  s.push_back(builder::InsertWhatsAppMessage(layout, photo));
  s.push_back(builder::InsertWhatsAppMessage(layout, message(7, 1, std::nullopt, 70)));  // no text, no media
  s.push_back(builder::InsertWhatsAppMessage(layout, message(8, 99, "lost chat", 80)));
  s.push_back(builder::InsertWhatsAppMessage(layout, message(9, std::nullopt, "no chat", 90)));
  WhatsAppMessageRow unknownMember = message(10, 2, "unknown member", 100);
  unknownMember.memberRowId = 42;
  s.push_back(builder::InsertWhatsAppMessage(layout, unknownMember));

  WhatsAppChatMap chats;
  ASSERT_EQ(readWhatsApp(writeDatabase("ChatStorage.sqlite", s), chats), 0);
  std::vector<int32_t> keys;
  for (const auto& [chat, messages] : chats) keys.push_back(chat);
  EXPECT_THAT(keys, ::testing::ElementsAre(-1, 1, 2, 99));

  const auto* hi = find(chats, 1);
  ASSERT_NE(hi, nullptr);
  EXPECT_EQ(hi->senderName, "Mia");
  EXPECT_EQ(hi->senderPhone, "15550104477");
  EXPECT_EQ(hi->chatTitle, "Mia");
  EXPECT_EQ(hi->chatPhones, "15550104477");
  EXPECT_EQ(hi->partnerName, "Mia");
  EXPECT_EQ(hi->date, LocalDateOfAppleSeconds(573091210));

  const auto* mineRecord = find(chats, 2);
  ASSERT_NE(mineRecord, nullptr);
  EXPECT_EQ(mineRecord->senderName, "Me");
  EXPECT_EQ(mineRecord->senderPhone, "");

  // Every message of a group keeps its text, the first of a run included.
  const auto* group = find(chats, 3);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->text, "first of the group run");
  EXPECT_EQ(group->senderName, "Sam");
  EXPECT_EQ(group->senderPhone, "15550109876");
  EXPECT_EQ(group->chatTitle, "Mia,Sam");  // a member without a name adds no name
  EXPECT_EQ(group->chatPhones, "15550104477,15550109876,15550102233");
  EXPECT_EQ(group->partnerName, "Walkers");

  const auto* one = find(chats, 4);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->senderName, "Mia");  // member row id 1 names its member
  EXPECT_EQ(one->senderPhone, "15550104477");

  const auto* mineGroup = find(chats, 5);
  ASSERT_NE(mineGroup, nullptr);
  EXPECT_EQ(mineGroup->senderName, "Me");
  EXPECT_EQ(mineGroup->senderPhone, "");

  const auto* media = find(chats, 6);
  ASSERT_NE(media, nullptr);
  EXPECT_EQ(media->text, "Media/15550104477@s.whatsapp.net/2/7/photo.jpg");
  EXPECT_EQ(media->mediaRowId, 1);
  EXPECT_EQ(find(chats, 7), nullptr);

  const auto* lost = find(chats, 8);
  ASSERT_NE(lost, nullptr);
  EXPECT_EQ(lost->senderName, "");
  EXPECT_EQ(lost->chatTitle, "");
  EXPECT_EQ(lost->chatPhones, "");
  EXPECT_EQ(chats.at(-1).at(0).text, "no chat");

  const auto* unknown = find(chats, 10);
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->senderName, "Walkers");
}

TEST_F(WhatsAppReaderTest, SortsByDateWithinEachChat) {
  constexpr auto layout = WhatsAppLayout::Newer34;
  auto s = chatsAndMembers(layout);
  s.push_back(builder::InsertWhatsAppMessage(layout, message(1, 1, "third", 300)));
  s.push_back(builder::InsertWhatsAppMessage(layout, message(2, 1, "first", 100)));
  s.push_back(builder::InsertWhatsAppMessage(layout, message(3, 1, "second", 200.5)));
  WhatsAppChatMap chats;
  ASSERT_EQ(readWhatsApp(writeDatabase("ChatStorage.sqlite", s), chats), 0);
  std::vector<std::string> texts;
  for (const auto& m : chats.at(1)) texts.push_back(m.text);
  EXPECT_THAT(texts, ::testing::ElementsAre("first", "second", "third"));
}

TEST_F(WhatsAppReaderTest, TheOlderLayoutIsReadByItsColumnNames) {
  constexpr auto layout = WhatsAppLayout::Older28;
  auto s = chatsAndMembers(layout);
  WhatsAppMessageRow photo = message(1, 1, "older text", 10);
  photo.mediaRowId = 1;
  s.push_back(builder::InsertWhatsAppMessage(layout, photo));
  WhatsAppMessageRow picture = message(2, 1, "", 20);
  picture.text.reset();
  picture.mediaRowId = 1;
  s.push_back(builder::InsertWhatsAppMessage(layout, picture));
  WhatsAppChatMap chats;
  EXPECT_EQ(readWhatsApp(writeDatabase("ChatStorage.sqlite", s), chats), 0);
  // ZTEXT is column 27 here, not 32; the media item is found by name too.
  ASSERT_EQ(chats.count(1), 1u);
  ASSERT_EQ(chats.at(1).size(), 2u);
  EXPECT_EQ(chats.at(1)[0].text, "older text");
  EXPECT_EQ(chats.at(1)[1].text, "Media/15550104477@s.whatsapp.net/2/7/photo.jpg");
}

TEST_F(WhatsAppReaderTest, EachReadingCountsItsOwnColumns) {
  constexpr auto layout = WhatsAppLayout::Newer34;
  // A database whose message table was emptied: its deleted rows are read
  // with the default count, whatever was read before.
  auto emptied = chatsAndMembers(layout);
  for (int i = 1; i <= 6; ++i) {
    emptied.push_back(builder::InsertWhatsAppMessage(
        layout,
        message(i, 1, "a deleted message long enough to leave its bytes behind " + std::to_string(i), i)));
  }
  const auto emptiedPath = writeDatabase("emptied.sqlite", emptied, {"DELETE FROM ZWAMESSAGE"});
  auto full = chatsAndMembers(layout);
  full.push_back(builder::InsertWhatsAppMessage(layout, message(1, 1, "live", 1)));
  const auto fullPath = writeDatabase("full.sqlite", full);

  WhatsAppChatMap alone;
  ASSERT_EQ(readWhatsApp(emptiedPath, alone), 0);
  WhatsAppChatMap first;
  ASSERT_EQ(readWhatsApp(fullPath, first), 0);
  EXPECT_EQ(first.at(1).size(), 1u);
  WhatsAppChatMap after;
  ASSERT_EQ(readWhatsApp(emptiedPath, after), 0);
  EXPECT_EQ(after, alone);
}

TEST_F(WhatsAppReaderTest, FailuresAddNothing) {
  WhatsAppChatMap chats;
  EXPECT_NE(readWhatsApp(folder() / "missing.sqlite", chats), 0);
  const auto noMessages = writeDatabase(
      "nomessages.sqlite", {"CREATE TABLE ZWACHATSESSION (Z_PK INTEGER PRIMARY KEY, ZPARTNERNAME)"});
  EXPECT_EQ(readWhatsApp(noMessages, chats), kQueryFailed);
  EXPECT_TRUE(chats.empty());
}

}  // namespace
}  // namespace fq::test

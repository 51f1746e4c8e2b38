#include <gtest/gtest.h>

#include <set>

#include "engine/ResultCodes.h"
#include "output/PrintPage.h"
#include "output/Selection.h"
#include "tests/output/OutputTestSupport.h"

namespace fq {
namespace {

class PrintPage : public ::testing::Test {
 protected:
  void SetUp() override {
    r.contacts = {
        ContactRecord{
            .deleted = 0, .email = "a@x", .url = "u", .phone = "1\n2", .company = "Co", .name = "<b>Ann</b>"},
        ContactRecord{.deleted = 1, .name = "Del"}};
    r.calls = {CallRecord{.incoming = 1, .duration = 0, .date = "d1", .number = "+1", .name = "Bob"},
               CallRecord{.deleted = 1, .incoming = 0, .duration = -1, .date = "d2", .number = "+2"}};
    r.notes = {NoteRecord{.date = "d", .title = "T", .body = "b&b"}};
    r.conversations[4] = {
        MessageRecord{
            .fromMe = 0, .handleRowId = 4, .date = "d1", .address = "+4", .contactName = "Ann", .text = "x"},
        MessageRecord{.fromMe = 1,
                      .handleRowId = 4,
                      .date = "d2",
                      .address = "+4",
                      .contactName = "Unknown",
                      .text = "y"}};
    r.whatsAppChats[9] = {WhatsAppMessageRecord{.fromMe = 0,
                                                .chatRowId = 9,
                                                .date = "d1",
                                                .senderName = "Bob",
                                                .text = "hi",
                                                .senderPhone = "15",
                                                .chatTitle = "",
                                                .chatPhones = "",
                                                .partnerName = "Bob"},
                          WhatsAppMessageRecord{.fromMe = 1,
                                                .chatRowId = 9,
                                                .date = "d2",
                                                .senderName = "Me",
                                                .text = "<yo>",
                                                .chatTitle = "",
                                                .partnerName = "Bob"}};
    SelectForRecovery(r, noApps, noApps, {}, stats);
  }
  std::string Build(ItemKind kind, bool deletedOnly = false) {
    std::string content;
    EXPECT_EQ(BuildPrintContent(kind, deletedOnly, r, stats, {}, content), kOk);
    return content;
  }
  ScanResults r;
  AppFolderMap noApps;
  CStatisticsObj stats;
};

TEST_F(PrintPage, BlocksPerCategory) {
  EXPECT_EQ(
      Build(ItemKind::Contacts),
      "<div>\r\n<p><span>Name:</span>&lt;b&gt;Ann&lt;/b&gt;</p>\r\n<p><span>Phone Number:</span>1\n2</p>\r\n"
      "<p><span>Company:</span>Co</p>\r\n<p><span>Email:</span>a@x</p>\r\n<p><span>URL:</span>u</p>\r\n"
      "</div>\r\n"
      "<div>\r\n<p><span>Name:</span>Del</p>\r\n<p><span>Phone Number:</span></p>\r\n"
      "<p><span>Company:</span></p>\r\n<p><span>Email:</span></p>\r\n<p><span>URL:</span></p>\r\n</div>\r\n");
  EXPECT_EQ(Build(ItemKind::CallHistory),
            "<div>\r\n<p><span>Name:</span>Bob</p>\r\n<p><span>Phone Number:</span>+1</p>\r\n"
            "<p><span>Date:</span>d1</p>\r\n<p><span>Type:</span>Incoming</p>\r\n"
            "<p><span>Duration:</span>Missed</p>\r\n</div>\r\n"
            "<div>\r\n<p><span>Name:</span></p>\r\n<p><span>Phone Number:</span>+2</p>\r\n"
            "<p><span>Date:</span>d2</p>\r\n<p><span>Type:</span>Outgoing</p>\r\n"
            "<p><span>Duration:</span>-1 Sec</p>\r\n</div>\r\n");
  EXPECT_EQ(Build(ItemKind::Notes),
            "<div>\r\n<p><span>Title:</span>T</p>\r\n<p><span>Date:</span>d</p>\r\n"
            "<p><span>Notes:</span>b&amp;b</p>\r\n</div>\r\n");
  EXPECT_EQ(Build(ItemKind::Messages),
            "<div>\r\n<p><span>From:</span>Ann(+4)</p>\r\n<p><span>Date:</span>d1</p>\r\n"
            "<p><span>Content:</span>x</p>\r\n</div>\r\n"
            "<div>\r\n<p><span>To:</span>+4</p>\r\n<p><span>Date:</span>d2</p>\r\n"
            "<p><span>Content:</span>y</p>\r\n</div>\r\n");
  // A chat's message lines follow one another on one source line.
  EXPECT_EQ(Build(ItemKind::WhatsApp),
            "<div>\r\n<p><span>Chats:</span>Bob</p>\r\n<p><span>Name:</span>Bob</p>\r\n"
            "<p><span>Phone Number:</span>15</p>\r\n<p><span>Content:</span></p>\r\n"
            "<p>Bob (d1): hi</p><p>Me (d2): &lt;yo&gt;</p></div>\r\n");
}

TEST_F(PrintPage, DeletedFilterSelectionAndCancel) {
  // "D": a selected live record is not printed.
  EXPECT_EQ(Build(ItemKind::Contacts, true).find("Ann"), std::string::npos);
  EXPECT_NE(Build(ItemKind::Contacts, true).find("Del"), std::string::npos);
  EXPECT_EQ(Build(ItemKind::Messages, true), "");

  // Unselected records are not printed.
  stats.SetSelected(&r.contacts[1], false);
  EXPECT_EQ(Build(ItemKind::Contacts).find("Del"), std::string::npos);

  std::string content = "kept";
  EXPECT_EQ(BuildPrintContent(ItemKind::CameraRoll, false, r, stats, {}, content), kInvalid);
  int asked = 0;
  EXPECT_EQ(BuildPrintContent(
                ItemKind::Messages, false, r, stats, [&] { return ++asked > 1; }, content),
            kCancelled);
  EXPECT_EQ(content, "kept");
}

TEST(PrintPageCategories, OnlyTheRecordCategoriesPrint) {
  const std::set<ItemKind> printable = {ItemKind::Messages, ItemKind::Contacts, ItemKind::CallHistory,
                                        ItemKind::Notes, ItemKind::WhatsApp};
  for (int32_t k = kFirstItemKind; k <= kLastItemKind; ++k) {
    const auto kind = static_cast<ItemKind>(k);
    EXPECT_EQ(CanPrint(kind), printable.count(kind) == 1) << CategoryName(kind);
    if (const auto category = ScanCategoryOf(kind)) {
      EXPECT_EQ(CanPrint(*category), CanPrint(kind));
    }
  }
}

TEST_F(PrintPage, DeletedFilterTakesAConversationByAnyOfItsMessages) {
  // Live first messages, a deleted later one: the conversation and the chat
  // are what the filter is for, printed with their deleted messages.
  r.conversations[4][1].deleted = 1;
  r.whatsAppChats[9][1].deleted = 1;
  SelectForRecovery(r, noApps, noApps, {}, stats);
  EXPECT_EQ(Build(ItemKind::Messages, true),
            "<div>\r\n<p><span>To:</span>+4</p>\r\n<p><span>Date:</span>d2</p>\r\n"
            "<p><span>Content:</span>y</p>\r\n</div>\r\n");
  const std::string chat = Build(ItemKind::WhatsApp, true);
  EXPECT_NE(chat.find("<p>Me (d2): &lt;yo&gt;</p>"), std::string::npos);
  EXPECT_EQ(chat.find("hi"), std::string::npos);
  // Off, the whole conversation as before.
  EXPECT_NE(Build(ItemKind::Messages).find("<span>Content:</span>x"), std::string::npos);
}

TEST_F(PrintPage, ShippedTemplateGivesACleanPage) {
  const auto page =
      LoadPrintTemplate(std::filesystem::path(FERNQUILL_SOURCE_DIR) / "template" / "Print.html");
  ASSERT_FALSE(page.head.empty());
  std::string content;
  for (auto kind :
       {ItemKind::Contacts, ItemKind::CallHistory, ItemKind::Notes, ItemKind::Messages, ItemKind::WhatsApp}) {
    ASSERT_EQ(BuildPrintContent(kind, false, r, stats, {}, content), kOk);
  }
  test::ScratchFolder dir;
  const auto path = dir.path() / "Print" / "page.html";
  ASSERT_EQ(WritePrintPage(path, page, content), 0);
  const std::string written = test::ReadBytes(path);
  EXPECT_EQ(written, page.head + content + page.tail);
  EXPECT_EQ(test::HtmlParseErrors(written), std::vector<std::string>{});

  EXPECT_TRUE(LoadPrintTemplate(dir.path() / "missing.html").head.empty());
}

}  // namespace
}  // namespace fq

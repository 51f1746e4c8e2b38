#include <gtest/gtest.h>

#include <random>
#include <string_view>
#include <vector>

#include "output/ItemKind.h"
#include "output/OutputNames.h"
#include "output/RecordTexts.h"
#include "tests/output/OutputTestSupport.h"

namespace fq {
namespace {

using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

TEST(MakeUniquePath, NumbersTakenNamesBeforeTheExtension) {
  ScratchFolder dir;
  const auto wanted = dir.path() / "IMG_0001.JPG";
  EXPECT_EQ(MakeUniquePath(wanted), wanted);
  WriteBytes(wanted, "a");
  EXPECT_EQ(MakeUniquePath(wanted), dir.path() / "IMG_0001(1).JPG");
  WriteBytes(dir.path() / "IMG_0001(1).JPG", "b");
  EXPECT_EQ(MakeUniquePath(wanted), dir.path() / "IMG_0001(2).JPG");

  // A folder or a dangling link takes a name as well as a file does.
  std::filesystem::create_directory(dir.path() / "notes");
  EXPECT_EQ(MakeUniquePath(dir.path() / "notes"), dir.path() / "notes(1)");
  std::filesystem::create_symlink(dir.path() / "nowhere", dir.path() / "link.txt");
  EXPECT_EQ(MakeUniquePath(dir.path() / "link.txt"), dir.path() / "link(1).txt");
  WriteBytes(dir.path() / "archive.tar.gz", "c");
  EXPECT_EQ(MakeUniquePath(dir.path() / "archive.tar.gz"), dir.path() / "archive.tar(1).gz");
}

TEST(UniquePaths, GivesTheNamesMakeUniquePathWouldWithoutProbingFromOne) {
  ScratchFolder dir;
  const auto wanted = dir.path() / "image.jpeg";
  UniquePaths paths;
  const auto take = [&] {
    const auto path = paths.make(wanted);
    EXPECT_EQ(path, MakeUniquePath(wanted));
    WriteBytes(path, "x");
    return path.filename().string();
  };
  EXPECT_EQ(take(), "image.jpeg");
  EXPECT_EQ(take(), "image(1).jpeg");
  // A name placed by someone else is still never handed out.
  WriteBytes(dir.path() / "image(2).jpeg", "foreign");
  EXPECT_EQ(take(), "image(3).jpeg");
  for (int i = 4; i < 200; ++i) EXPECT_EQ(take(), "image(" + std::to_string(i) + ").jpeg");
  // Names given once and freed again: the plain name is reused, numbers go on.
  std::filesystem::remove(wanted);
  std::filesystem::remove(dir.path() / "image(1).jpeg");
  EXPECT_EQ(paths.make(wanted), wanted);
  WriteBytes(wanted, "again");
  EXPECT_EQ(paths.make(wanted), dir.path() / "image(200).jpeg");
  EXPECT_EQ(ReadBytes(dir.path() / "image(2).jpeg"), "foreign");
}

TEST(SafeFileName, KeepsEveryNameInsideItsFolder) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"IMG_0001.JPG", "IMG_0001.JPG"},
      {"Ann Lee(+1 555 0100)", "Ann Lee(+1 555 0100)"},
      {"Zoë 😀.jpg", "Zoë 😀.jpg"},
      {"../../etc/passwd", ".._.._etc_passwd"},
      {"..", "__"},
      {".", "_"},
      {"", "_"},
      {"a\\b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"},
      {std::string("tab\there\nnl\x7f", 12), "tab_here_nl_"},
  };
  for (const auto& c : cases) EXPECT_EQ(SafeFileName(c.in), c.out) << c.in;

  // Long names are cut on a character boundary and keep a short extension.
  std::string longName;
  for (int i = 0; i < 100; ++i) longName += "é";
  const std::string cut = SafeFileName(longName + ".jpeg");
  EXPECT_LE(cut.size(), 180u);
  EXPECT_TRUE(cut.ends_with("é.jpeg")) << cut;
}

// Whatever bytes a hostile database holds, the name stays one component of our folder.
TEST(SafeFileName, ArbitraryBytesGiveOneHarmlessComponent) {
  std::mt19937 rng(7);
  const std::string alphabet = std::string(
      "./\\:\0\n\xC3\xA9\xF0\x9F\x98\x80"
      "ab",
      14);
  for (int round = 0; round < 2000; ++round) {
    std::string name(rng() % 300, ' ');
    for (char& c : name) c = alphabet[rng() % alphabet.size()];
    const std::string safe = SafeFileName(name);
    EXPECT_FALSE(safe.empty());
    EXPECT_LE(safe.size(), 180u);
    EXPECT_EQ(safe.find_first_of(std::string("/\\\0", 3)), std::string::npos);
    EXPECT_NE(safe.find_first_not_of('.'), std::string::npos) << safe;
  }
}

TEST(OutputNames, ConversationAndChatNames) {
  MessageRecord m;
  EXPECT_EQ(ConversationPerson(m), "Unknown");
  EXPECT_EQ(ConversationBase(m), "Unknown");
  m.address = "+15550100";
  EXPECT_EQ(ConversationBase(m), "Unknown(+15550100)");
  m.contactName = "Ann Lee";
  EXPECT_EQ(ConversationPerson(m), "Ann Lee");
  EXPECT_EQ(ConversationBase(m), "Ann Lee(+15550100)");

  struct Case {
    std::string title, phones, partner, name;
  } chats[] = {
      {"Bob", "15550111", "Bob", "Bob(15550111)"},
      {"", "15550111", "Bob", "15550111"},
      {"Bob,Carol", "1,2", "Family", "Family"},  // a group is named by its partner
      {"", "", "", "Unknown"},
      {"Bob,Carol", "1,2", "", "Unknown"},
  };
  for (const auto& c : chats) {
    WhatsAppMessageRecord w;
    w.chatTitle = c.title;
    w.chatPhones = c.phones;
    w.partnerName = c.partner;
    EXPECT_EQ(ChatName(w), c.name) << c.title;
  }
}

TEST(OutputNames, StampAndFolders) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 5;
  t.tm_hour = 7;
  t.tm_min = 8;
  t.tm_sec = 9;
  EXPECT_EQ(RecoveryStamp(t), "20260105070809");
  EXPECT_EQ(RecoveryStampNow().size(), 14u);
  EXPECT_EQ(OutputFolderName(ItemKind::AppVideos), "App Video");
  EXPECT_EQ(OutputFolderName(ItemKind::WhatsApp), "WhatsApp Message");
  EXPECT_EQ(OutputFolderName(ItemKind::MessagesAttachments), "Message Attachments");
  EXPECT_EQ(ItemKindFromCategoryName("App Videos"), ItemKind::AppVideos);
  EXPECT_EQ(ItemKindFromCategoryName("Voicemail"), std::nullopt);
  for (int k = kFirstItemKind; k <= kLastItemKind; ++k) {
    EXPECT_EQ(ItemKindFromCategoryName(CategoryName(static_cast<ItemKind>(k))), static_cast<ItemKind>(k));
  }
}

// The tree numbers the selection stores and the scan's order are two orders of
// one set of categories; each kind maps to its category and back without names.
TEST(ItemKinds, FollowTheTreeOrderAndMapToTheScanCategories) {
  const std::vector<std::string_view> treeOrder = {
      "Camera Roll",          "Photo Stream", "App Photos",   "App Videos", "Messages",
      "Messages Attachments", "Contacts",     "Call History", "Notes",      "WhatsApp",
      "WhatsApp Attachments"};
  ASSERT_EQ(kLastItemKind - kFirstItemKind + 1, static_cast<int>(treeOrder.size()));
  for (int k = kFirstItemKind; k <= kLastItemKind; ++k) {
    const auto kind = static_cast<ItemKind>(k);
    EXPECT_EQ(CategoryName(kind), treeOrder[static_cast<size_t>(k - kFirstItemKind)]);
    const auto category = ScanCategoryOf(kind);
    ASSERT_TRUE(category.has_value()) << k;
    EXPECT_EQ(ItemKindOf(*category), kind);
    EXPECT_EQ(CategoryName(*category), CategoryName(kind));
  }
  EXPECT_EQ(ScanCategoryOf(static_cast<ItemKind>(0)), std::nullopt);
  EXPECT_EQ(ScanCategoryOf(static_cast<ItemKind>(kLastItemKind + 1)), std::nullopt);
  EXPECT_EQ(ItemKindOf(ScanCategory::Messages), ItemKind::Messages);
  EXPECT_EQ(ItemKindOf(ScanCategory::AppPhotos), ItemKind::AppPhotos);
}

TEST(RecordTexts, CallDurationsAndDirections) {
  struct Case {
    int32_t incoming, seconds;
    std::string duration, direction;
  } cases[] = {
      {0, 59, "59 Sec", "Outgoing"},          {1, 60, "1 Min 0 Sec", "Incoming"},
      {0, 3599, "59 Min 59 Sec", "Outgoing"}, {0, 3600, "1 Hour 0 Min", "Outgoing"},
      {0, 3661, "1 Hour 1 Min", "Outgoing"},  {1, 3725, "1 Hour 2 Min", "Incoming"},
      {0, -7, "-7 Sec", "Outgoing"},          {1, 0, "Missed", "Incoming"},
      {0, 0, "Canceled", "Outgoing"},
  };
  for (const auto& c : cases) {
    CallRecord call;
    call.incoming = c.incoming;
    call.duration = c.seconds;
    EXPECT_EQ(CallDurationText(call), c.duration) << c.seconds;
    EXPECT_EQ(CallDirectionText(call), c.direction) << c.seconds;
  }
}

TEST(RecordTexts, SenderAndPerson) {
  MessageRecord m;
  m.address = "+15550100";
  for (const char* name : {"", "Unknown"}) {
    m.contactName = name;
    EXPECT_EQ(MessageSender(m), "+15550100");
    EXPECT_EQ(MessagePerson(m), "+15550100");
  }
  m.contactName = "Ann";
  EXPECT_EQ(MessageSender(m), "Ann");
  EXPECT_EQ(MessagePerson(m), "Ann(+15550100)");

  WhatsAppMessageRecord me;
  me.fromMe = 1;
  me.senderName = "Me";
  EXPECT_EQ(ChatPerson(me), "Me()");
  WhatsAppMessageRecord w;
  w.senderName = "Unknown";
  w.senderPhone = "15550111";
  EXPECT_EQ(ChatSender(w), "15550111");
  EXPECT_EQ(ChatPerson(w), "15550111");
}

}  // namespace
}  // namespace fq

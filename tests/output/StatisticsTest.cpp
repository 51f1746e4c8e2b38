#include <gtest/gtest.h>

#include <set>

#include "output/CStatisticsObj.h"
#include "output/Selection.h"

namespace fq {
namespace {

std::vector<MediaFileRecord> Media(std::initializer_list<uint32_t> sizes) {
  std::vector<MediaFileRecord> files;
  int i = 0;
  for (uint32_t s : sizes) files.push_back({s, "IMG_" + std::to_string(i++) + ".JPG", {}});
  return files;
}

std::vector<ContactRecord> Contacts(std::initializer_list<int32_t> deletedFlags) {
  std::vector<ContactRecord> contacts;
  for (int32_t d : deletedFlags) {
    ContactRecord c;
    c.deleted = d;
    c.name = "C" + std::to_string(contacts.size());
    contacts.push_back(c);
  }
  return contacts;
}

TEST(CStatisticsObj, SmallItemsCountAsAKilobyte) {
  const auto files = Media({10, 500, 1023});
  CStatisticsObj stats;
  stats.AddMediaFiles(ItemKind::CameraRoll, files);
  EXPECT_EQ(stats.TotalSize(), 3u * 1024);
  EXPECT_EQ(stats.SelectedSize(), 0u);
  EXPECT_EQ(stats.Root().total, 3u);
  EXPECT_EQ(stats.CategoryCheckState(ItemKind::CameraRoll), CheckState::Unchecked);
  stats.SetCategorySelected(ItemKind::CameraRoll, true);
  EXPECT_EQ(stats.SelectedSize(), 3u * 1024);
  EXPECT_EQ(stats.CategoryCheckState(ItemKind::CameraRoll), CheckState::Checked);

  const auto big = Media({5000});
  stats.AddMediaFiles(ItemKind::PhotoStream, big);
  EXPECT_EQ(stats.TotalSize(), 3u * 1024 + 5000);
  // A second call for a category that already has entries changes nothing.
  stats.AddMediaFiles(ItemKind::CameraRoll, big);
  EXPECT_EQ(stats.Root().total, 4u);
}

TEST(CStatisticsObj, SelectAndHideCarryUpTheTreeAndNeverUnderflow) {
  const auto contacts = Contacts({0, 1, 0});
  CStatisticsObj stats;
  stats.AddContacts(contacts);
  stats.SetCategorySelected(ItemKind::Contacts, true);
  EXPECT_EQ(stats.Root().selected, 3u);

  EXPECT_TRUE(stats.SetSelected(&contacts[0], false));
  EXPECT_TRUE(stats.SetSelected(&contacts[0], false));  // twice: counted once
  EXPECT_EQ(stats.CategoryCounter(ItemKind::Contacts).selected, 2u);
  EXPECT_EQ(stats.CategoryCheckState(ItemKind::Contacts), CheckState::Partial);
  EXPECT_EQ(stats.SelectedSize(), 2u * 1024);

  // The filter hides the live ones; the selected hidden one leaves the selected size.
  stats.SetDeletedOnlyFilter(ItemKind::Contacts, true);
  EXPECT_EQ(stats.Root().hidden, 2u);
  EXPECT_EQ(stats.Root().hiddenSelected, 1u);
  EXPECT_EQ(stats.SelectedVisibleCount(), 1u);
  EXPECT_EQ(stats.SelectedSize(), 1024u);
  ASSERT_EQ(stats.RecoveryItems().size(), 1u);
  EXPECT_EQ(stats.RecoveryItems()[0]->record, &contacts[1]);

  // Only hidden items selected: nothing to recover.
  stats.SetSelected(&contacts[1], false);
  EXPECT_FALSE(stats.CanRecover());
  EXPECT_TRUE(stats.RecoveryItems().empty());

  stats.SetDeletedOnlyFilter(ItemKind::Contacts, false);
  EXPECT_EQ(stats.Root().hidden, 0u);
  EXPECT_EQ(stats.Root().hiddenSelected, 0u);
  EXPECT_TRUE(stats.CanRecover());
  stats.SetCategorySelected(ItemKind::Contacts, false);
  stats.SetCategorySelected(ItemKind::Contacts, false);
  EXPECT_EQ(stats.Root().selected, 0u);
  EXPECT_EQ(stats.SelectedSize(), 0u);

  int unknown = 0;
  EXPECT_FALSE(stats.SetSelected(&unknown, true));
  EXPECT_FALSE(stats.SetHidden(&unknown, true));
  EXPECT_EQ(stats.Find(&unknown), nullptr);
}

TEST(CStatisticsObj, ApplicationsHaveTheirOwnCounters) {
  const AppFolderMap photos = {
      {"com.app.one", {{2000, "com.app.one", "a.png", {}}}},
      {"other", {{10, "other", "notes.txt", {}}, {10, "other", "README", {}}, {10, "other", "shot.tga", {}}}},
  };
  const AppFolderMap videos = {
      {"com.app.one", {{3000, "com.app.one", "clip.MOV", {}}}},
      {"com.app.two", {{4000, "com.app.two", "song.m4a", {}}}},
  };
  CStatisticsObj stats;
  stats.AddAppFolders(ItemKind::AppPhotos, photos);
  stats.AddAppFolders(ItemKind::AppVideos, videos);
  EXPECT_EQ(stats.TotalSize(), 2000u + 3 * 1024 + 3000 + 4000);
  EXPECT_EQ(stats.Root().total, 6u);
  EXPECT_EQ(stats.CategoryCounter(ItemKind::AppPhotos).total, 4u);

  const auto& others = photos.at("other");
  EXPECT_TRUE(stats.SetGroupSelected(&others, true));
  EXPECT_EQ(stats.CategoryCounter(ItemKind::AppPhotos).selected, 3u);
  EXPECT_EQ(stats.CategoryCheckState(ItemKind::AppPhotos), CheckState::Partial);
  EXPECT_EQ(stats.Find(&others)->group, true);
  EXPECT_FALSE(stats.SetSelected(&others, false));  // a group is not an item
  EXPECT_EQ(stats.RecoveryItems().size(), 3u);
  EXPECT_FALSE(stats.SetGroupSelected(&photos.at("com.app.one").front(), true));  // an item, not a group
  // Files count in their application's counter, which the group entry names.
  EXPECT_EQ(stats.Find(&videos.at("com.app.two").front())->counter,
            stats.Find(&videos.at("com.app.two"))->counter);
}

TEST(CStatisticsObj, RecoveryItemsFollowTreeAndListOrder) {
  const auto media = Media({1, 2});
  const auto contacts = Contacts({0, 0});
  ConversationMap conversations;
  conversations[7].push_back(MessageRecord{.deleted = 1, .handleRowId = 7, .text = "a"});
  conversations[3].push_back(MessageRecord{.handleRowId = 3, .text = "b"});
  CStatisticsObj stats;
  stats.AddContacts(contacts);
  stats.AddConversations(conversations);
  stats.AddMediaFiles(ItemKind::CameraRoll, media);
  for (int k = kFirstItemKind; k <= kLastItemKind; ++k)
    stats.SetCategorySelected(static_cast<ItemKind>(k), true);

  std::vector<const void*> order;
  for (const auto* e : stats.RecoveryItems()) order.push_back(e->record);
  const std::vector<const void*> expected = {
      &media[0], &media[1], &conversations[3].front(), &conversations[7].front(), &contacts[0], &contacts[1]};
  EXPECT_EQ(order, expected);
  EXPECT_EQ(stats.Find(&conversations[7].front())->deleted, 1);
  EXPECT_EQ(stats.Find(&conversations[7].front())->kind, ItemKind::Messages);
}

TEST(Selection, CategoriesAndDeletedOnly) {
  ScanResults r;
  r.cameraRoll = Media({1});
  r.contacts = Contacts({0, 1});
  r.calls = {CallRecord{.deleted = 1, .number = "1"}, CallRecord{.number = "2"}};
  r.conversations[1].push_back(MessageRecord{.handleRowId = 1, .text = "x"});
  // A conversation whose first message is live but a later one deleted.
  r.conversations[2] = {MessageRecord{.handleRowId = 2, .text = "kept"},
                        MessageRecord{.deleted = 1, .handleRowId = 2, .text = "gone"}};
  // The same for a chat, and a chat with nothing deleted.
  r.whatsAppChats[8] = std::vector<WhatsAppMessageRecord>(3);
  r.whatsAppChats[8][2].deleted = 1;
  r.whatsAppChats[9] = std::vector<WhatsAppMessageRecord>(2);
  const AppFolderMap none;

  std::vector<ItemKind> kinds;
  std::string unknown;
  EXPECT_FALSE(ParseCategoryNames({"Contacts", "Voicemail"}, kinds, unknown));
  EXPECT_EQ(unknown, "Voicemail");
  ASSERT_TRUE(ParseCategoryNames({"Contacts", "Camera Roll", "Contacts"}, kinds, unknown));
  EXPECT_EQ(kinds.size(), 2u);

  CStatisticsObj stats;
  SelectForRecovery(r, none, none, {}, stats);
  EXPECT_EQ(stats.RecoveryItems().size(), 9u);
  EXPECT_EQ(stats.Root().selected, 9u);
  EXPECT_EQ(stats.Find(&r.whatsAppChats[8].front())->deleted, 1);
  EXPECT_EQ(stats.Find(&r.whatsAppChats[9].front())->deleted, 0);

  SelectForRecovery(r, none, none, {kinds, false}, stats);
  EXPECT_EQ(stats.RecoveryItems().size(), 3u);

  SelectForRecovery(r, none, none, {{}, true}, stats);
  std::set<const void*> items;
  for (const auto* e : stats.RecoveryItems()) items.insert(e->record);
  EXPECT_EQ(items, (std::set<const void*>{&r.conversations[2].front(), &r.contacts[1], &r.calls[0],
                                          &r.whatsAppChats[8].front()}));
  EXPECT_EQ(stats.SelectedVisibleCount(), 4u);
  EXPECT_TRUE(stats.DeletedOnlyFilter(ItemKind::Messages));
  EXPECT_FALSE(stats.DeletedOnlyFilter(ItemKind::CameraRoll));
}

}  // namespace
}  // namespace fq

// The category operations of both recovery objects over the demo backup: every
// category is filled with live and deleted records, the progress points of
// each step, the WhatsApp database lookup and the CSV exports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "engine/ResultCodes.h"
#include "engine/session/BackupStore.h"
#include "engine/session/CDeviceRecovery.h"
#include "tests/categories/PhoneFixture.h"
#include "tools/backupbuilder/DemoBackup.h"
#include "tools/backupbuilder/DemoPhoneData.h"
#include "tools/backupbuilder/NoteStoreDatabase.h"

namespace fq::test {
namespace {

DriveSource roomyDrive() {
  DriveSource drives;
  drives.freeBytesOf = [](const std::filesystem::path&) {
    return std::optional<uint64_t>(uint64_t{1} << 40);
  };
  drives.listVolumes = [] { return std::optional<std::vector<Volume>>(std::vector<Volume>{}); };
  return drives;
}

// Writes the backup `b` into `backup` and opens it with `store`.
bool writeAndOpen(const builder::BackupBuilder& b, const std::filesystem::path& backup, BackupStore& store) {
  if (!b.write(backup)) return false;
  BackupInfo info;
  info.folder = backup;
  store.SelectBackup(info);
  return store.Open("") == 0;
}

template <typename Records>
std::pair<size_t, size_t> liveAndDeleted(const Records& records) {
  size_t live = 0;
  size_t deleted = 0;
  for (const auto& r : records) (r.deleted ? deleted : live)++;
  return {live, deleted};
}

template <typename Map>
auto flatten(const Map& map) {
  std::vector<typename Map::mapped_type::value_type> all;
  for (const auto& [key, list] : map) all.insert(all.end(), list.begin(), list.end());
  return all;
}

size_t lineCount(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

struct CategoryLists {
  ConversationMap conversations;
  std::vector<ContactRecord> contacts;
  std::vector<CallRecord> calls;
  std::vector<NoteRecord> notes;
  WhatsAppChatMap chats;
};

void expectDemoCategories(const CategoryLists& lists) {
  const auto messages = liveAndDeleted(flatten(lists.conversations));
  EXPECT_EQ(messages.first, 7u);
  EXPECT_GE(messages.second, 1u);
  const auto contacts = liveAndDeleted(lists.contacts);
  EXPECT_EQ(contacts.first, 4u);  // Alex has no phone and is dropped
  EXPECT_GE(contacts.second, 1u);
  const auto calls = liveAndDeleted(lists.calls);
  EXPECT_EQ(calls.first, 4u);
  EXPECT_GE(calls.second, 1u);
  const auto notes = liveAndDeleted(lists.notes);
  EXPECT_EQ(notes.first, 3u + 3u);  // the legacy database's and the modern store's
  EXPECT_GE(notes.second, 1u);
  const auto chats = liveAndDeleted(flatten(lists.chats));
  EXPECT_EQ(chats.first, 8u);
  EXPECT_GE(chats.second, 1u);
  // Dates as the demo wrote them (in UTC): nanoseconds, fractional seconds.
  ASSERT_FALSE(lists.conversations.at(1).empty());
  EXPECT_EQ(lists.conversations.at(1)[0].date, "2019-03-01 09:00:00");
  EXPECT_EQ(lists.calls.at(0).date, "2019-03-01 08:00:00");
  ASSERT_GE(lists.chats.at(1).size(), 2u);
  EXPECT_EQ(lists.chats.at(1)[1].date, "2019-03-03 10:01:35");
  for (const auto& m : flatten(lists.conversations)) EXPECT_THAT(m.date, ::testing::StartsWith("2019-03-"));
}

class StoreCategoriesTest : public PhoneFixture,
                            public ::testing::WithParamInterface<builder::ManifestFormat> {
 protected:
  ScopedTimeZone m_zone{"UTC"};
};

TEST_P(StoreCategoriesTest, FillsEveryCategoryWithLiveAndDeletedRecords) {
  const auto backup = folder() / "backup";
  std::string error;
  ASSERT_TRUE(builder::WriteDemoBackup(backup, GetParam(), &error)) << error;
  WorkFolders folders(folder() / "appdata", roomyDrive());
  BackupStore store(folders, folder() / "root");
  BackupInfo info;
  info.folder = backup;
  info.newerThan11 = true;
  store.SelectBackup(info);
  std::vector<int32_t> reports;
  store.SetProgressCallback([&](int32_t percent) {
    reports.push_back(percent);
    return 0;
  });
  ASSERT_EQ(store.Open(""), 0) << store.openFailure();
  ASSERT_EQ(store.progress().current, 12);
  EXPECT_FALSE(store.WhatsAppDatabase().empty());

  CategoryLists lists;
  reports.clear();
  EXPECT_EQ(store.ScanMessages(lists.conversations), 0);
  // The reader's stages within the step of 11, then half the step.
  EXPECT_THAT(reports, ::testing::ElementsAre(14, 14, 15, 17, 23, 23, 17));
  EXPECT_EQ(store.ScanContacts(lists.contacts), 0);
  EXPECT_EQ(store.ScanCallHistory(lists.calls), 0);
  EXPECT_EQ(store.ScanNotes(lists.notes), 0);
  EXPECT_EQ(store.ScanWhatsApp(lists.chats), 0);
  EXPECT_EQ(store.progress().current, 12 + 4 * 5 + 11);
  expectDemoCategories(lists);

  const auto sms = folder() / "sms.csv";
  EXPECT_EQ(store.ExportMessagesCsv(sms), 0);
  EXPECT_GE(lineCount(sms), 8u);
  const auto book = folder() / "Contacts.csv";
  EXPECT_EQ(store.ExportContactsCsv(book), 0);
  EXPECT_GE(lineCount(book), 6u);
}

INSTANTIATE_TEST_SUITE_P(Manifests, StoreCategoriesTest,
                         ::testing::Values(builder::ManifestFormat::Db, builder::ManifestFormat::Mbdb));

TEST_F(PhoneFixture, TheStoreTakesTheChatDatabaseNotItsLogFiles) {
  builder::BackupBuilder b(builder::ManifestFormat::Db);
  const std::string group = "AppDomainGroup-group.net.whatsapp.WhatsApp.shared";
  b.addFile(group, "ChatStorage.sqlite-wal", std::string_view("not a database"));
  b.addFile(group, "ChatStorage.sqlite-shm", std::string_view("not a database either"));
  ASSERT_TRUE(builder::AddDemoPhoneDatabases(b));
  WorkFolders folders(folder() / "appdata", roomyDrive());
  BackupStore store(folders, folder() / "root");
  ASSERT_TRUE(writeAndOpen(b, folder() / "backup", store));
  EXPECT_EQ(store.WhatsAppDatabase().filename().string().size(), 40u);
  WhatsAppChatMap chats;
  EXPECT_EQ(store.ScanWhatsApp(chats), 0);
  EXPECT_FALSE(chats.empty());
}

// A builder-made backup with only the modern store, read through the backup
// store as a scan does: the builder knows the truth. The same notes in the
// demo's narrow table and in the tables of iOS 13, 14 and 17.
TEST_F(PhoneFixture, TheStoreReadsTheNoteStoreOfABuiltBackup) {
  const ScopedTimeZone zone("UTC");
  constexpr double k2024 = 725760000;  // 2024-01-01 00:00:00 UTC
  const std::vector<builder::NoteStoreNote> written = {
      {.rowId = 10,
       .dataRowId = 3,
       .title = "Groceries",
       .modifiedAppleSeconds = k2024 + 3600.75,
       .text = "Groceries\nmilk, eggs \xE2\x80\x93 and bread"},
      {.rowId = 11,
       .dataRowId = 4,
       .title = "Door code",
       .modifiedAppleSeconds = k2024 + 86400,
       .text = "Door code\n4417",
       .locked = true},
      {.rowId = 12,
       .dataRowId = 5,
       .title = "Old plan",
       .modifiedAppleSeconds = k2024 + 2 * 86400,
       .text = "Old plan\nsell the boat",
       .markedForDeletion = true},
      {.rowId = 13,
       .dataRowId = 6,
       .title = "Untitled",
       .modifiedAppleSeconds = k2024 + 3 * 86400,
       .text = std::nullopt},
      {.rowId = 14,
       .dataRowId = 7,
       .title = "Purged",
       .modifiedAppleSeconds = k2024 + 4 * 86400,
       .text = "Purged\nthis note was deleted for good"},
  };
  const std::optional<builder::PhoneSystem> layouts[] = {
      std::nullopt, builder::PhoneSystem::Ios13, builder::PhoneSystem::Ios14, builder::PhoneSystem::Ios17};
  for (const std::optional<builder::PhoneSystem> layout : layouts) {
    const std::string name = layout ? builder::ProductVersionOf(*layout) : "demo";
    SCOPED_TRACE(name);
    builder::BackupBuilder b(builder::ManifestFormat::Db);
    std::string error;
    ASSERT_TRUE(b.addDatabase(builder::kNoteStoreDomain, builder::kNoteStorePath,
                              builder::NoteStoreDatabase(written, {14}, layout), &error))
        << error;
    WorkFolders folders(folder() / name / "appdata", roomyDrive());
    BackupStore store(folders, folder() / name / "root");
    ASSERT_TRUE(writeAndOpen(b, folder() / name / "backup", store));
    std::vector<NoteRecord> notes;
    // No legacy notes database in this backup: the modern store's notes still count.
    EXPECT_EQ(store.ScanNotes(notes), kOk);
    std::vector<NoteRecord> live;
    std::vector<NoteRecord> deleted;
    for (const NoteRecord& n : notes) (n.deleted ? deleted : live).push_back(n);
    std::sort(live.begin(), live.end(),
              [](const NoteRecord& a, const NoteRecord& c) { return a.key < c.key; });
    EXPECT_EQ(live,
              (std::vector<NoteRecord>{
                  {0, 3, "2024-01-01 01:00:00", "Groceries", "Groceries\nmilk, eggs \xE2\x80\x93 and bread"},
                  {0, 4, "2024-01-02 00:00:00", "Door code", ""},
                  {0, 6, "2024-01-04 00:00:00", "Untitled", ""},
              }));
    ASSERT_GE(deleted.size(), 1u);
    EXPECT_EQ(deleted[0], (NoteRecord{1, 5, "2024-01-03 00:00:00", "Old plan", "Old plan\nsell the boat"}));
    // The purged note's rows stay in free space: its note row (title, date) and
    // its body row come back as two deleted records, as a carved body row has
    // lost the row id its note row links to. (Carving finds the wide note rows
    // of the real tables only now and then; the body row is always found.)
    bool purgedTitle = false;
    bool purgedBody = false;
    for (const NoteRecord& n : deleted) {
      EXPECT_EQ(n.body.find("4417"), std::string::npos) << "a locked note's text never shows";
      purgedTitle = purgedTitle || (n.title == "Purged" && n.date == "2024-01-05 00:00:00");
      purgedBody = purgedBody || n.body == "Purged\nthis note was deleted for good";
    }
    if (!layout) {
      EXPECT_TRUE(purgedTitle);
    }
    EXPECT_TRUE(purgedBody);
  }
}

TEST_F(PhoneFixture, ABackupWithoutThePhoneDatabasesIsNotACancelledScan) {
  builder::BackupBuilder b(builder::ManifestFormat::Db);
  b.addDirectory("HomeDomain", "Library");
  WorkFolders folders(folder() / "appdata", roomyDrive());
  BackupStore store(folders, folder() / "root");
  ASSERT_TRUE(writeAndOpen(b, folder() / "backup", store));
  CategoryLists lists;
  // Each reader fails (the file is missing) with the generic failure, which
  // lets the scan go on; errno 2 would have read as "cancelled".
  EXPECT_EQ(store.ScanMessages(lists.conversations), kInvalid);
  EXPECT_EQ(store.ScanContacts(lists.contacts), kInvalid);
  const int32_t calls = store.ScanCallHistory(lists.calls);  // the SQLite library's own open error
  EXPECT_NE(calls, kOk);
  EXPECT_NE(calls, kCancelled);
  EXPECT_EQ(store.ScanNotes(lists.notes), kInvalid);
  EXPECT_EQ(store.ScanWhatsApp(lists.chats), 0);
  EXPECT_TRUE(lists.conversations.empty() && lists.contacts.empty() && lists.calls.empty() &&
              lists.notes.empty() && lists.chats.empty());
}

// A device that answers with the demo backup.
class DemoDevice final : public IDeviceBackupDriver {
 public:
  void SetProgress(ProgressCallback, int32_t) override {}
  void SetMode(int32_t) override {}
  int32_t Backup(const std::filesystem::path& folder, const std::string&) override {
    m_folder = folder / "00008020000a1b2c3d4e5f60718293a4b5c6d7e8";
    return builder::WriteDemoBackup(m_folder, builder::ManifestFormat::Db, nullptr) ? 0 : 87;
  }
  std::filesystem::path GetBackupFolder() const override { return m_folder; }
  bool VersionAbove9() const override { return true; }
  bool VersionAbove11() const override { return true; }
  void RaiseQuit() override {}
  int32_t Disconnect() override { return 0; }

 private:
  std::filesystem::path m_folder;
};

TEST_F(PhoneFixture, TheDeviceRecoveryReadsItsDatabaseCopies) {
  const ScopedTimeZone zone("UTC");
  WorkFolders folders(folder() / "appdata", roomyDrive());
  DemoDevice device;
  CDeviceRecovery recovery(folders, device);
  std::vector<int32_t> reports;
  recovery.SetProgressCallback([&](int32_t percent) {
    reports.push_back(percent);
    return 0;
  });
  ASSERT_EQ(recovery.Open(""), 0);
  CategoryLists lists;
  EXPECT_EQ(recovery.ScanMessages(lists.conversations), 0);
  EXPECT_EQ(recovery.ScanContacts(lists.contacts), 0);
  EXPECT_EQ(recovery.ScanCallHistory(lists.calls), 0);
  EXPECT_EQ(recovery.ScanNotes(lists.notes), 0);
  EXPECT_EQ(recovery.ScanWhatsApp(lists.chats), 0);
  EXPECT_EQ(recovery.progress().current, 20 + 4 * 5 + 10);
  expectDemoCategories(lists);
  const auto sms = folder() / "sms.csv";
  EXPECT_EQ(recovery.ExportMessagesCsv(sms), 0);
  EXPECT_GE(lineCount(sms), 8u);

  // A cancel during the messages reader ends the step with the answer.
  recovery.SetProgressCallback([](int32_t) { return 2; });
  ConversationMap cancelled;
  EXPECT_EQ(recovery.ScanMessages(cancelled), 2);
  EXPECT_TRUE(cancelled.empty());
}

}  // namespace
}  // namespace fq::test

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/BackupDiscovery.h"
#include "engine/backup/FileId.h"
#include "engine/backup/WellKnownDatabases.h"
#include "engine/platform/ProgramFolder.h"
#include "engine/session/BackupStore.h"
#include "engine/session/EventRecorder.h"
#include "engine/session/RecoveryFactory.h"
#include "engine/session/ScanSession.h"
#include "tests/session/SessionFixtures.h"

namespace fq {
namespace {

using testsupport::ReadFile;
using testsupport::ScratchFolder;
using testsupport::WriteFile;
namespace fs = std::filesystem;

constexpr uint64_t kGiB = 1024ULL * 1024 * 1024;

// Writes a Manifest.db whose Files table lists `keys`.
void WriteManifestDb(const fs::path& path, const std::vector<std::string>& keys) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  for (const auto& key : keys) {
    const size_t dash = key.find('-');
    const std::string sql = "INSERT INTO Files VALUES ('" + FileIdOf(key) + "', '" + key.substr(0, dash) +
                            "', '" + key.substr(dash + 1) + "');";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  }
  sqlite3_close(db);
}

// The files of a folder tree with their contents, to show a backup was only read.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = ReadFile(entry.path());
  }
  return files;
}

class BackupStoreTest : public ::testing::Test {
 protected:
  BackupStoreTest()
      : folders(scratch / "appdata",
                DriveSource{[](const fs::path&) -> std::optional<uint64_t> { return 100 * kGiB; }, nullptr}) {
  }

  // A backup folder in the backup root with an Info.plist.
  fs::path makeBackup(const std::string& name) {
    const fs::path folder = BackupRoot(folders.appDataFolder()) / name;
    WriteFile(folder / "Info.plist", "<key>Display Name</key>\n<string>" + name +
                                         "</string>\n<key>Product Version</key>\n"
                                         "<string>14.4</string>\n");
    return folder;
  }
  BackupInfo describe(const fs::path& folder) {
    BackupInfo info;
    EXPECT_EQ(ReadBackupFolder(folder, info), kOk);
    return info;
  }
  // A store opened on `folder`, with every progress report recorded.
  int32_t open(BackupStore& store, const fs::path& folder, const std::string& password = "") {
    store.SelectBackup(describe(folder));
    store.SetProgressCallback([this](int32_t p) {
      reports.push_back(p);
      return 0;
    });
    return store.Open(password);
  }

  ScratchFolder scratch;
  WorkFolders folders;
  std::vector<int32_t> reports;
};

TEST_F(BackupStoreTest, BuildingCreatesTheWorkFolderCleansUpAndListsTheRoot) {
  makeBackup("b1");
  makeBackup("b2");
  fs::create_directories(BackupRoot(folders.appDataFolder()) / ".hidden");
  WriteFile(folders.workFolder() / "tmp.jpg", "old preview");
  WriteFile(folders.workFolder() / "VelmoraSoft_tmp_backup" / "VelmoraSoftBackupPath" / "stale", "x");
  BackupStore store(folders, BackupRoot(folders.appDataFolder()));
  EXPECT_TRUE(fs::is_directory(folders.workFolder()));
  EXPECT_FALSE(fs::exists(folders.workFolder() / "tmp.jpg"));
  EXPECT_FALSE(fs::exists(folders.DecryptedBackupFolder() / "stale"));
  EXPECT_EQ(store.backupFolders().size(), 2u);
  std::vector<BackupInfo> list;
  EXPECT_EQ(store.ListBackups(list), kOk);
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(store.highestMessageRowId, 20000);
  EXPECT_EQ(store.highestContactRowId, 20000);
}

TEST_F(BackupStoreTest, OpensAManifestDbBackupWithItsLayout) {
  const fs::path folder = makeBackup("newer");
  WriteManifestDb(folder / "Manifest.db", {"HomeDomain-Library/SMS/sms.db", "CameraRollDomain-Media/DCIM"});
  const auto before = Snapshot(folder);
  BackupStore store(folders, BackupRoot(folders.appDataFolder()));
  EXPECT_EQ(open(store, folder), kOk);
  EXPECT_EQ(store.openFailure(), "");
  EXPECT_TRUE(store.layoutFlag());
  EXPECT_EQ(store.manifestEntries().size(), 2u);
  EXPECT_EQ(reports, (std::vector<int32_t>{0, 1, 12}));
  EXPECT_EQ(store.StoredFile(wellknown::kSms), folder / "3d" / std::string(wellknown::kSms));
  EXPECT_EQ(Snapshot(folder), before);  // only read: no journal or WAL beside Manifest.db
}

TEST_F(BackupStoreTest, OpensAnMbdbBackupFlat) {
  const fs::path folder = makeBackup("older");
  WriteFile(folder / "Manifest.mbdb", std::string("mbdb\x05\x00", 6));
  BackupStore store(folders, BackupRoot(folders.appDataFolder()));
  EXPECT_EQ(open(store, folder), kOk);
  EXPECT_FALSE(store.layoutFlag());
  EXPECT_EQ(store.StoredFile(wellknown::kSms), folder / std::string(wellknown::kSms));
}

TEST_F(BackupStoreTest, NamesTheCauseWhenOpenFails) {
  const struct {
    const char* what;
    std::string file;  // written into the backup folder
    std::string content;
    int32_t result;  // 0: any non-zero code
    std::string failure;
  } cases[] = {
      {"no manifest", "", "", kInvalid, "no Manifest.db or Manifest.mbdb in "},
      {"an mbdb of the wrong kind", "Manifest.mbdb", "not an mbdb", kInvalid, "Manifest.mbdb in "},
      {"a Manifest.db that is no database", "Manifest.db", std::string(4096, '\x5a'), 0, "Manifest.db in "},
  };
  int n = 0;
  for (const auto& c : cases) {
    const fs::path folder = makeBackup("bad" + std::to_string(n++));
    if (!c.file.empty()) WriteFile(folder / c.file, c.content);
    BackupStore store(folders, BackupRoot(folders.appDataFolder()));
    reports.clear();
    const int32_t result = open(store, folder);
    if (c.result != 0) {
      EXPECT_EQ(result, c.result) << c.what;
    } else {
      EXPECT_NE(result, kOk) << c.what;
    }
    EXPECT_EQ(store.openFailure().rfind(c.failure, 0), 0u) << c.what << ": " << store.openFailure();
    EXPECT_NE(store.openFailure().find(folder.string()), std::string::npos) << c.what;
    EXPECT_EQ(reports, (std::vector<int32_t>{0, 1, 12})) << c.what;
  }
}

// The scan of a backup that cannot be opened ends as failed, with the code
// that stopped it and the store's cause; the events stay as the view expects.
TEST_F(BackupStoreTest, AScanThatCannotOpenItsBackupFailsWithTheCause) {
  const struct {
    const char* what;
    std::string file;
    std::string content;
    int32_t code;  // 0: any code other than 0 and 2
    std::string reason;
  } cases[] = {
      {"no manifest", "", "", kInvalid, "no Manifest.db or Manifest.mbdb in "},
      {"a Manifest.mbdb of another format", "Manifest.mbdb", "not an mbdb", kInvalid, "Manifest.mbdb in "},
      {"a Manifest.db that is no database", "Manifest.db", std::string(4096, '\x5a'), 0, "Manifest.db in "},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path folder = makeBackup("unopenable" + std::to_string(n++));
    if (!c.file.empty()) WriteFile(folder / c.file, c.content);
    BackupStore store(folders, BackupRoot(folders.appDataFolder()));
    store.SelectBackup(describe(folder));
    EventRecorder events;
    ScanSession session(events);
    session.setFirstReportPause(std::chrono::milliseconds(0));
    ASSERT_TRUE(session.Start(CreateRecovery(kSourceBackup, store, folders, nullptr), ""));
    session.Wait();

    const ScanOutcome& outcome = session.outcome();
    EXPECT_EQ(outcome.kind, ScanOutcomeKind::Failed);
    if (c.code != 0) {
      EXPECT_EQ(outcome.code, c.code);
    } else {
      EXPECT_NE(outcome.code, kOk);
      EXPECT_NE(outcome.code, kCancelled);
    }
    EXPECT_EQ(outcome.reason.rfind(c.reason, 0), 0u) << outcome.reason;
    EXPECT_NE(outcome.reason.find(folder.string()), std::string::npos) << outcome.reason;
    // The result and the events keep their old meaning: a failed Open posts
    // its event, then the end, and the result reads as 2.
    EXPECT_EQ(session.result(), kCancelled);
    EXPECT_EQ(events.events(), (std::vector<EventRecorder::Event>{{kMsgScanEvent, kScanEventFirstProgress},
                                                                  {kMsgScanEvent, kScanEventFailed},
                                                                  {kMsgScanEnded, 0}}));
  }
}

TEST_F(BackupStoreTest, AnEncryptedBackupGoesThroughTheDecryptTool) {
  const fs::path folder = makeBackup("locked");
  WriteManifestDb(folder / "Manifest.db", {});
  const std::string id(wellknown::kAddressBook);
  WriteFile(folder / id.substr(0, 2) / id, "\x91\x02\x7f encrypted bytes");
  WriteFile(folder / "3d" / std::string(wellknown::kSms), "\x91\x02\x7f encrypted bytes");
  WriteFile(folder / ".DS_Store", "x");
  const auto before = Snapshot(folder);
  BackupStore store(folders, BackupRoot(folders.appDataFolder()));
  BackupInfo info = describe(folder);
  ASSERT_TRUE(info.encrypted);

  store.SelectBackup(info);
  const int32_t result = store.Open("secret");
  // Whatever the tool answers here (there is no real backup to decrypt),
  // the scan must not go on as if it had been decrypted.
  EXPECT_NE(result, kOk);
  EXPECT_FALSE(store.openFailure().empty());
  if (result == kInvalid) {
    // The tool beside the tests gives its own reason; without it, it could not start.
    const bool toolBuilt = fs::exists(ProgramFolder() / "tool");
    EXPECT_EQ(store.openFailure(), toolBuilt ? "the decrypt tool failed: cannot read Manifest.plist"
                                             : "the decrypt tool could not be started");
  }
  EXPECT_EQ(store.progress().step, 10);
  EXPECT_FALSE(store.decrypted());
  EXPECT_EQ(Snapshot(folder), before);
}

TEST_F(BackupStoreTest, AWholeScanReportsTheStoreProgressPoints) {
  const fs::path folder = makeBackup("full");
  WriteManifestDb(folder / "Manifest.db", {"HomeDomain-Library/SMS/sms.db"});
  BackupStore store(folders, BackupRoot(folders.appDataFolder()));
  store.SelectBackup(describe(folder));

  class PercentView : public IScanView {
   public:
    void percentChanged(int32_t percent, const ScanResults&) override { percents.push_back(percent); }
    std::vector<int32_t> percents;
  } view;
  EventRecorder events;
  ScanSession session(events, &view);
  session.setFirstReportPause(std::chrono::milliseconds(0));
  ASSERT_TRUE(session.Start(CreateRecovery(kSourceBackup, store, folders, nullptr), ""));
  session.Wait();
  EXPECT_EQ(session.result(), kOk);
  // Open 1 (shown as 2) and 12; photos +22 (34); messages, contacts, calls
  // and notes +5 each, with the readers' own stages in between; attachments
  // +11 (50); app files report 65 + 22 for their one entry (87) before they
  // settle at +11 (76, below what is shown); WhatsApp +11 (87); its attachments +11 (98).
  for (const int32_t point : {2, 12, 34, 50, 55, 60, 65, 87, 98}) {
    EXPECT_NE(std::find(view.percents.begin(), view.percents.end(), point), view.percents.end()) << point;
  }
  EXPECT_TRUE(std::is_sorted(view.percents.begin(), view.percents.end()));
  EXPECT_EQ(view.percents.back(), 98);
  EXPECT_EQ(events.events(),
            (std::vector<EventRecorder::Event>{
                {kMsgScanEvent, kScanEventFirstProgress}, {kMsgCountsChanged, 0}, {kMsgScanEnded, 0}}));
}

TEST_F(BackupStoreTest, KeepsNoCallbackIntoAnEndedSession) {
  const fs::path folder = makeBackup("short");
  BackupStore store(folders, BackupRoot(folders.appDataFolder()));
  store.SelectBackup(describe(folder));
  {
    EventRecorder events;
    ScanSession session(events);
    ASSERT_TRUE(session.Start(CreateRecovery(kSourceBackup, store, folders, nullptr), ""));
    session.Wait();
    EXPECT_TRUE(static_cast<bool>(store.progress().callback));  // the recovery object still lives
  }
  EXPECT_FALSE(static_cast<bool>(store.progress().callback));
  EXPECT_EQ(store.Open(""), kInvalid);  // and a later Open reports into nothing
}

TEST_F(BackupStoreTest, FindsTheWhatsAppDatabaseThroughTheManifest) {
  const fs::path folder = makeBackup("chats");
  const std::string wal = "AppDomainGroup-group.net.whatsapp.WhatsApp.shared-ChatStorage.sqlite-wal";
  const std::string shared = "AppDomainGroup-group.net.whatsapp.WhatsApp.shared-ChatStorage.sqlite";
  const std::string documents = "AppDomain-net.whatsapp.WhatsApp-Documents/ChatStorage.sqlite";
  WriteManifestDb(folder / "Manifest.db",
                  {"AppDomainGroup-group.net.whatsapp.WhatsApp.shared-Contacts.sqlite",
                   "AppDomain-net.whatsapp.WhatsApp-Documents/Contacts.sqlite", wal, shared, documents});
  const std::string walId = FileIdOf(wal);
  const std::string documentsId = FileIdOf(documents);
  WriteFile(folder / walId.substr(0, 2) / walId, "wal");
  WriteFile(folder / documentsId.substr(0, 2) / documentsId, "db");  // the shared one has no content
  BackupStore store(folders, BackupRoot(folders.appDataFolder()));
  ASSERT_EQ(open(store, folder), kOk);
  EXPECT_EQ(store.WhatsAppDatabase(), folder / documentsId.substr(0, 2) / documentsId);
}

TEST_F(BackupStoreTest, NoWhatsAppDatabaseWithoutAnEntry) {
  const fs::path folder = makeBackup("nochats");
  WriteManifestDb(folder / "Manifest.db", {"HomeDomain-Library/SMS/sms.db"});
  BackupStore store(folders, BackupRoot(folders.appDataFolder()));
  ASSERT_EQ(open(store, folder), kOk);
  EXPECT_EQ(store.WhatsAppDatabase(), "");
}

TEST_F(BackupStoreTest, CallHistoryFallsBackToTheOlderDatabase) {
  const fs::path folder = makeBackup("calls");
  WriteFile(folder / "Manifest.mbdb", std::string("mbdb\x05\x00", 6));
  BackupStore store(folders, BackupRoot(folders.appDataFolder()));
  ASSERT_EQ(open(store, folder), kOk);
  const fs::path newer = folder / std::string(wellknown::kCallHistory);
  const fs::path older = folder / std::string(wellknown::kCallHistoryOld);
  WriteFile(older, "old");
  EXPECT_EQ(store.CallHistoryDatabase(), older);
  WriteFile(newer, "new");
  EXPECT_EQ(store.CallHistoryDatabase(), newer);
}

}  // namespace
}  // namespace fq

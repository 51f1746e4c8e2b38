// Backup folders are only ever read: after the manifest readers, the four
// scans and both copies have run on a backup, every file and folder of it is
// exactly as before (listing, sizes, times and content hashes).
#include <gtest/gtest.h>

#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/FileId.h"
#include "engine/backup/ManifestOfFolder.h"
#include "engine/media/FileCopy.h"
#include "engine/media/ManifestScans.h"
#include "engine/sqlite/ReadOnlyDatabase.h"
#include "tests/support/FolderSnapshot.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/DemoBackup.h"

namespace fq {
namespace {

using builder::ManifestFormat;

class BackupUntouched : public ::testing::TestWithParam<ManifestFormat> {};

TEST_P(BackupUntouched, ByReadersScansAndCopies) {
  testsupport::TempFolder dir;
  const auto backup = dir / "backup";
  auto demo = builder::DemoBackup(GetParam());
  builder::SqliteRecipe notes;
  notes.statements = {"CREATE TABLE ZNOTE(Z_PK INTEGER PRIMARY KEY, ZTITLE TEXT)",
                      "INSERT INTO ZNOTE(ZTITLE) VALUES('shopping'), ('passwords'), ('trip')"};
  notes.deletions = {"DELETE FROM ZNOTE WHERE ZTITLE = 'passwords'"};
  notes.walMode = true;  // an ordinary read-only open would create -wal and -shm beside it
  // Beside the demo's own notes database, which is not in WAL mode.
  ASSERT_TRUE(demo.addDatabase("HomeDomain", "Library/Notes/notes-wal.sqlite", notes));
  // A real phone database whose header says WAL mode, when the corpus is here.
  const std::filesystem::path chats =
      std::filesystem::path(FERNQUILL_SHARED_DIR) / "corpora/ios-real/whatsapp-ios15/ChatStorage.sqlite";
  const bool haveChats = std::filesystem::is_regular_file(chats);
  if (haveChats) {
    ASSERT_TRUE(
        demo.addFileFromDisk("AppDomain-net.whatsapp.WhatsApp", "Documents/ChatStorage.sqlite", chats));
  }
  ASSERT_TRUE(demo.write(backup));
  std::filesystem::create_directories(dir / "work");
  const auto before = testsupport::SnapshotFolder(backup);
  ASSERT_GT(before.size(), 20u);

  const auto layout = DetectStorageLayout(backup);
  ASSERT_TRUE(layout.has_value());
  std::vector<ManifestEntry> entries;
  ASSERT_EQ(ReadFolderManifest(backup, *layout, entries), kOk);
  for (ScanSource source : {ScanSource::Store, ScanSource::Device}) {
    ProgressState progress{[](int32_t) { return 0; }, 0, 10};
    ManifestScanContext ctx{entries, backup, *layout, source, progress};
    std::vector<MediaFileRecord> cameraRoll, photoStream, whatsApp;
    std::vector<AttachmentFileRecord> attachments;
    std::vector<AppFileRecord> apps;
    EXPECT_EQ(ScanPhotos(ctx, cameraRoll, photoStream), kOk);
    EXPECT_EQ(ScanMessageAttachments(ctx, attachments), kOk);
    EXPECT_EQ(ScanAppFiles(ctx, apps, source == ScanSource::Store ? &whatsApp : nullptr), kOk);
    if (source == ScanSource::Device) {
      EXPECT_EQ(ScanWhatsAppAttachments(ctx, whatsApp), kOk);
    }
    ASSERT_FALSE(cameraRoll.empty());
    for (const auto& file : cameraRoll) {
      std::filesystem::path preview;
      EXPECT_EQ(ExtractPreview(file.path, dir / "work", preview, nullptr), kOk);
      EXPECT_EQ(CopyOut(file.path, dir / "out" / "Camera Roll" / file.name, nullptr), kOk);
    }
    for (const auto& file : attachments) {
      EXPECT_EQ(CopyOut(file.path, dir / "out" / "Attachments" / file.name, nullptr), kOk);
    }
  }
  // Reading Manifest.db and a phone database through the SQLite library.
  const auto notesPath =
      StoredFilePath(backup, FileIdOf("HomeDomain-Library/Notes/notes-wal.sqlite"), *layout);
  ASSERT_TRUE(std::filesystem::exists(notesPath));
  ReadOnlyDatabase notesDb(notesPath);
  ASSERT_TRUE(notesDb.ok());
  EXPECT_EQ(sqlite3_exec(notesDb.handle(), "SELECT count(*) FROM ZNOTE", nullptr, nullptr, nullptr),
            SQLITE_OK);
  if (haveChats) {
    ReadOnlyDatabase chatDb(StoredFilePath(backup, "1b6b187a1b60b9ae8b720c79e2c67f472bab09c0", *layout));
    ASSERT_TRUE(chatDb.ok());
    EXPECT_EQ(sqlite3_exec(chatDb.handle(), "SELECT count(*) FROM ZWAMESSAGE", nullptr, nullptr, nullptr),
              SQLITE_OK);
  }
  std::vector<ManifestEntry> again;
  EXPECT_EQ(ReadFolderManifest(backup, *layout, again), kOk);

  EXPECT_EQ(testsupport::SnapshotFolder(backup), before);
}

INSTANTIATE_TEST_SUITE_P(BothIndexes, BackupUntouched,
                         ::testing::Values(ManifestFormat::Db, ManifestFormat::Mbdb), [](const auto& info) {
                           return info.param == ManifestFormat::Db ? "ManifestDb" : "Mbdb";
                         });

}  // namespace
}  // namespace fq

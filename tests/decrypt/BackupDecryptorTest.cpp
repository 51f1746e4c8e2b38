// The decrypt tool's walk, in process: encrypted backups of both eras written
// by EncryptedBackupWriter decrypt back to exactly their plain files.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/FileId.h"
#include "engine/backup/ManifestDb.h"
#include "tests/decrypt/CryptoTestSupport.h"
#include "tools/decrypt/BackupDecryptor.h"
#include "tools/decrypt/BackupKeySet.h"
#include "tools/decrypt/ClassKeys.h"
#include "tools/decrypt/EncryptedBackupWriter.h"
#include "tools/decrypt/FileCipher.h"
#include "tools/decrypt/KeyDerivation.h"
#include "tools/decrypt/MbFile.h"
#include "tools/decrypt/PlistHandle.h"

namespace fq::decrypt {
namespace {

using testsupport::ReadAll;
using testsupport::ScratchFolder;
using testsupport::Snapshot;

std::vector<uint8_t> filler(size_t n, uint8_t seed) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 13 + (i >> 10));
  return b;
}

std::vector<PlainFile> sampleFiles() {
  std::vector<PlainFile> files;
  files.push_back({"HomeDomain", "Library/SMS/sms.db", filler(40000, 1), 3, std::nullopt});
  files.push_back(
      {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", filler(4096, 2), 3, std::nullopt});
  files.push_back(
      {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", filler((1 << 20) + 3, 3), 4, std::nullopt});
  files.push_back({"HomeDomain", "Library/Notes/empty.txt", {}, 3, std::nullopt});
  files.push_back({"HomeDomain", "Library/Preferences/odd.plist", filler(31, 5), 1, std::nullopt});
  return files;
}

struct Lines {
  std::vector<std::string> all;
  LineSink sink() {
    return [this](const std::string& line) { all.push_back(line); };
  }
  bool has(const std::string& text) const {
    return std::any_of(all.begin(), all.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
  }
};

EncryptedBackupOptions optionsFor(BackupEra era, const std::string& password) {
  EncryptedBackupOptions o;
  o.era = era;
  o.password = password;
  o.iterations = 7;
  o.dpIterations = 9;
  return o;
}

class BackupDecryptorTest : public ::testing::TestWithParam<BackupEra> {};

TEST_P(BackupDecryptorTest, RightPasswordGivesBackEveryFileExactly) {
  ScratchFolder scratch;
  const auto backup = scratch / "backup folder";
  const auto files = sampleFiles();
  const std::string password = "correct horse \"battery\" staple ü";
  std::string error;
  ASSERT_EQ(WriteEncryptedBackup(backup, files, optionsFor(GetParam(), password), &error), kOk) << error;
  const auto before = Snapshot(backup);

  Lines lines;
  const auto out = scratch / "decrypted";
  ASSERT_EQ(DecryptBackup({backup, out, password, 2}, lines.sink()), DecryptStatus::Done);

  for (const auto& f : files) {
    const std::string id = FileIdOf(f.domain + "-" + f.relativePath);
    SCOPED_TRACE(f.relativePath);
    ASSERT_TRUE(std::filesystem::exists(out / id));
    EXPECT_EQ(ReadAll(out / id), f.bytes);
  }
  EXPECT_EQ(lines.all.front(), "Count: 0");
  EXPECT_EQ(lines.all.back(), "Count: " + std::to_string(files.size()));
  EXPECT_FALSE(lines.has("Warning")) << ::testing::PrintToString(lines.all);

  const bool modern = GetParam() != BackupEra::ManifestMbdb;
  EXPECT_EQ(std::filesystem::exists(out / kDecryptedManifestName), modern);
  if (modern) {
    // The store reads the decrypted manifest like any Manifest.db.
    std::vector<ManifestEntry> entries;
    ASSERT_EQ(ReadManifestDb(out / kDecryptedManifestName, entries), kOk);
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const ManifestEntry& e) {
      return e.fileId == "3d0d7e5fb2ce288813306e4d4636395e047a3d28";
    }));
  }
  EXPECT_EQ(Snapshot(backup), before) << "the backup folder must stay byte-identical";
  EXPECT_FALSE(std::filesystem::exists(backup / kDecryptedManifestName));
}

TEST_P(BackupDecryptorTest, WrongPasswordWritesNothing) {
  ScratchFolder scratch;
  const auto backup = scratch / "backup";
  const auto files = sampleFiles();
  ASSERT_EQ(WriteEncryptedBackup(backup, files, optionsFor(GetParam(), "secret")), kOk);
  for (const char* wrong : {"Secret", "", "secret "}) {
    Lines lines;
    const auto out = scratch / "out";
    EXPECT_EQ(DecryptBackup({backup, out, wrong, 2}, lines.sink()), DecryptStatus::WrongPassword);
    EXPECT_EQ(lines.all, std::vector<std::string>{"Wrong password"});
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

TEST_P(BackupDecryptorTest, RecordedSizeIsReportedNotObeyed) {
  ScratchFolder scratch;
  const auto backup = scratch / "backup";
  auto files = sampleFiles();
  files[0].recordedSize = 1000;  // smaller than the content, as databases often are
  ASSERT_EQ(WriteEncryptedBackup(backup, files, optionsFor(GetParam(), "pw")), kOk);
  Lines lines;
  ASSERT_EQ(DecryptBackup({backup, scratch / "out", "pw", 2}, lines.sink()), DecryptStatus::Done);
  const std::string id = FileIdOf("HomeDomain-Library/SMS/sms.db");
  EXPECT_EQ(ReadAll(scratch / "out" / id), files[0].bytes);
  EXPECT_TRUE(lines.has("Warning: " + id + " holds 40000 bytes, the manifest says 1000"));
}

TEST_P(BackupDecryptorTest, DamagedStoredFilesAreWarnedAboutAndTheRestDecrypted) {
  ScratchFolder scratch;
  const auto backup = scratch / "backup";
  const auto files = sampleFiles();
  ASSERT_EQ(WriteEncryptedBackup(backup, files, optionsFor(GetParam(), "pw")), kOk);
  const bool modern = GetParam() != BackupEra::ManifestMbdb;
  const auto stored = [&](const PlainFile& f) {
    const std::string id = FileIdOf(f.domain + "-" + f.relativePath);
    return modern ? backup / id.substr(0, 2) / id : backup / id;
  };
  std::filesystem::remove(stored(files[1]));
  std::filesystem::resize_file(stored(files[0]), 40000 - 7);  // cut mid-block

  Lines lines;
  const auto out = scratch / "out";
  ASSERT_EQ(DecryptBackup({backup, out, "pw", 2}, lines.sink()), DecryptStatus::Done);
  const std::string missing = FileIdOf(files[1].domain + "-" + files[1].relativePath);
  const std::string cut = FileIdOf(files[0].domain + "-" + files[0].relativePath);
  EXPECT_TRUE(lines.has("Warning: " + missing + " is not in the backup"));
  EXPECT_TRUE(lines.has("Warning: " + cut + " ends with"));
  // What could be decrypted of the cut file is kept, byte for byte.
  const auto partial = ReadAll(out / cut);
  ASSERT_GT(partial.size(), 39000u);
  EXPECT_TRUE(std::equal(partial.begin(), partial.end(), files[0].bytes.begin()));
  EXPECT_EQ(ReadAll(out / FileIdOf(files[2].domain + "-" + files[2].relativePath)), files[2].bytes);
  EXPECT_EQ(lines.all.back(), "Count: " + std::to_string(files.size()));
}

INSTANTIATE_TEST_SUITE_P(BothEras, BackupDecryptorTest,
                         ::testing::Values(BackupEra::ManifestDb, BackupEra::ManifestDbClear,
                                           BackupEra::ManifestMbdb),
                         [](const auto& info) {
                           switch (info.param) {
                             case BackupEra::ManifestDb:
                               return std::string("ManifestDb");
                             case BackupEra::ManifestDbClear:
                               return std::string("ManifestDbClear");
                             case BackupEra::ManifestMbdb:
                               break;
                           }
                           return std::string("ManifestMbdb");
                         });

TEST(BackupKeySet, SealedContentOpensWithThePasswordAlone) {
  for (bool modern : {true, false}) {
    const auto keys = BackupKeySet::Create("pw", modern, 5, 5);
    ASSERT_TRUE(keys);
    std::string error;
    const auto keybag = ParseKeybag(keys->keybagBytes(), error);
    ASSERT_TRUE(keybag) << error;
    EXPECT_EQ(keybag->dpSalt.has_value(), modern);
    const auto sealed = keys->seal(3, filler(100, 9));
    ASSERT_TRUE(sealed);
    EXPECT_EQ(sealed->keyBlob.size(), 44u);
    EXPECT_EQ(sealed->keyBlob[0], 3);

    ClassKeys opened;
    ASSERT_EQ(opened.unlock(*keybag, *DeriveKeyEncryptionKey("pw", *keybag)), UnlockResult::Ok);
    const auto fileKey = opened.unwrapFileKey(sealed->keyBlob);
    ASSERT_TRUE(fileKey);
    std::vector<uint8_t> plain;
    ASSERT_TRUE(DecryptBytes(*fileKey, sealed->content, plain));
    EXPECT_EQ(plain, filler(100, 9));
    EXPECT_EQ(opened.unlock(*keybag, *DeriveKeyEncryptionKey("pW", *keybag)), UnlockResult::WrongPassword);
    EXPECT_FALSE(keys->seal(12, plain));
  }
  EXPECT_FALSE(BackupKeySet::Create("pw", true, 5, 0));
}

// An encrypted backup whose Manifest.db rows are written by hand: ids that
// try to leave the folder or spell protocol lines, a record that is no
// archive, and one id listed twice.
TEST(BackupDecryptor, HostileManifestRowsAreSkippedAndNeverEchoed) {
  ScratchFolder scratch;
  const auto backup = scratch / "backup";
  std::filesystem::create_directories(backup);
  auto keys = BackupKeySet::Create("pw", true, 3, 3);
  ASSERT_TRUE(keys);

  const std::string goodId = FileIdOf("HomeDomain-Library/good");
  const auto sealed = keys->seal(3, filler(5000, 7));
  std::filesystem::create_directories(backup / goodId.substr(0, 2));
  testsupport::WriteAll(backup / goodId.substr(0, 2) / goodId, sealed->content);
  MbFile record;
  record.protectionClass = 3;
  record.size = 5000;
  record.encryptionKey = sealed->keyBlob;
  const auto archive = EncodeMbFile(record);

  const auto plainDb = scratch / "plain.db";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(plainDb.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db,
               "CREATE TABLE Files (fileID TEXT, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB)",
               nullptr, nullptr, nullptr);
  const auto insert = [&](const std::string& id, const std::vector<uint8_t>& blob) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Files VALUES (?, 'HomeDomain', 'x', 1, ?)", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(st, 2, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    sqlite3_step(st);
    sqlite3_finalize(st);
  };
  insert(goodId, archive);
  insert(goodId, archive);
  insert("../../../../tmp/fq-escape-" + goodId.substr(0, 8), archive);
  insert("Wrong password", archive);
  insert("Count: 999", archive);
  insert(FileIdOf("HomeDomain-Library/junk"), testsupport::Bytes("bplist00 but not really"));
  sqlite3_close(db);
  const auto sealedDb = keys->sealManifest(ReadAll(plainDb));
  testsupport::WriteAll(backup / "Manifest.db", sealedDb->content);
  const auto keybag = keys->keybagBytes();
  PlistHandle plist(plist_new_dict());
  plist_dict_set_item(plist.get(), "BackupKeyBag",
                      plist_new_data(reinterpret_cast<const char*>(keybag.data()), keybag.size()));
  plist_dict_set_item(
      plist.get(), "ManifestKey",
      plist_new_data(reinterpret_cast<const char*>(sealedDb->keyBlob.data()), sealedDb->keyBlob.size()));
  char* bin = nullptr;
  uint32_t length = 0;
  plist_to_bin(plist.get(), &bin, &length);
  testsupport::WriteAll(backup / "Manifest.plist", std::vector<uint8_t>(bin, bin + length));
  plist_to_bin_free(bin);

  Lines lines;
  const auto out = scratch / "out";
  ASSERT_EQ(DecryptBackup({backup, out, "pw", 2}, lines.sink()), DecryptStatus::Done);
  EXPECT_EQ(ReadAll(out / goodId), filler(5000, 7));
  EXPECT_FALSE(std::filesystem::exists("/tmp/fq-escape-" + goodId.substr(0, 8)));
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(out)) files += entry.is_regular_file();
  EXPECT_EQ(files, 2u) << "the decrypted manifest and the one good file";
  EXPECT_TRUE(lines.has("has an unreadable file record; skipped"));
  EXPECT_EQ(lines.all.back(), "Count: 2");  // the good id once, and the unreadable one
  for (const auto& line : lines.all) {
    EXPECT_EQ(line.find("Wrong password"), std::string::npos) << line;
    if (line.rfind("Count:", 0) != 0) {
      EXPECT_EQ(line.find("Count:"), std::string::npos) << line;
    }
  }
}

TEST(BackupDecryptor, RefusesToWriteIntoTheBackup) {
  ScratchFolder scratch;
  const auto backup = scratch / "backup";
  ASSERT_EQ(WriteEncryptedBackup(backup, sampleFiles(), optionsFor(BackupEra::ManifestDb, "pw")), kOk);
  const auto before = Snapshot(backup);
  for (const auto& out : {backup, backup / "sub", backup / ".." / "backup" / "x"}) {
    Lines lines;
    EXPECT_EQ(DecryptBackup({backup, out, "pw", 2}, lines.sink()), DecryptStatus::Failed) << out;
    EXPECT_TRUE(lines.has("Error: the output folder lies inside the backup folder"));
  }
  EXPECT_EQ(Snapshot(backup), before);
}

TEST(BackupDecryptor, BrokenBackupsFailWithAReason) {
  ScratchFolder scratch;
  const auto backup = scratch / "backup";
  ASSERT_EQ(WriteEncryptedBackup(backup, sampleFiles(), optionsFor(BackupEra::ManifestDb, "pw")), kOk);
  struct Case {
    const char* name;
    std::function<void()> damage;
    const char* error;
  };
  const auto manifestDb = backup / "Manifest.db";
  const auto plist = backup / "Manifest.plist";
  const auto plistBytes = ReadAll(plist);
  const auto dbBytes = ReadAll(manifestDb);
  const Case cases[] = {
      {"no Manifest.plist", [&] { std::filesystem::remove(plist); }, "Error: cannot read Manifest.plist"},
      {"Manifest.plist garbage",
       [&] { testsupport::WriteAll(plist, testsupport::Bytes("bplist00 nothing here")); },
       "Error: Manifest.plist is not a property list"},
      {"Manifest.db cut",
       [&] {
         testsupport::WriteAll(manifestDb, std::vector<uint8_t>(dbBytes.begin(), dbBytes.begin() + 1000));
       },
       "Error: Manifest.db cannot be decrypted"},
      {"no manifest at all", [&] { std::filesystem::remove(manifestDb); },
       "Error: the backup has neither Manifest.db nor Manifest.mbdb"},
      {"a FIFO where Manifest.db belongs (must not block)",
       [&] {
         std::filesystem::remove(manifestDb);
         ::mkfifo(manifestDb.c_str(), 0600);
       },
       "Error: the backup has neither Manifest.db nor Manifest.mbdb"},
  };
  for (const auto& c : cases) {
    testsupport::WriteAll(plist, plistBytes);
    std::filesystem::remove(manifestDb);
    testsupport::WriteAll(manifestDb, dbBytes);
    c.damage();
    Lines lines;
    EXPECT_EQ(DecryptBackup({backup, scratch / "out", "pw", 2}, lines.sink()), DecryptStatus::Failed)
        << c.name;
    EXPECT_TRUE(lines.has(c.error)) << c.name << ": " << ::testing::PrintToString(lines.all);
    EXPECT_FALSE(lines.has("Wrong password")) << c.name;
  }
}

}  // namespace
}  // namespace fq::decrypt

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/FileId.h"
#include "engine/backup/ManifestOfFolder.h"
#include "engine/media/FileType.h"
#include "tests/support/FolderSnapshot.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/BackupBuilder.h"
#include "tools/backupbuilder/DemoBackup.h"
#include "tools/backupbuilder/MediaSamples.h"

namespace fq {
namespace {

using builder::BackupBuilder;
using builder::ManifestFormat;

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Lines(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class BackupBuilderLayouts : public ::testing::TestWithParam<ManifestFormat> {};

TEST_P(BackupBuilderLayouts, WritesIndexAndContentThatTheReadersFind) {
  BackupBuilder b(GetParam());
  b.addDirectory("HomeDomain", "Library/SMS");
  b.addFile("HomeDomain", "Library/SMS/sms.db", std::string_view("not really a database"));
  b.addMissingFile("MediaDomain", "Library/SMS/Attachments/aa/lost.jpg");
  b.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG",
            builder::JpegImage(builder::JpegHeader::Exif, 8, 8, 600));
  testsupport::TempFolder dir;
  ASSERT_TRUE(b.write(dir.path()));

  EXPECT_EQ(DetectStorageLayout(dir.path()), b.layout());
  std::vector<ManifestEntry> entries;
  ASSERT_EQ(ReadFolderManifest(dir.path(), b.layout(), entries), kOk);
  std::vector<std::string> keys;
  for (const auto& e : entries) {
    keys.push_back(e.key);
    EXPECT_EQ(e.fileId, FileIdOf(e.key));
  }
  std::vector<std::string> expected = {"HomeDomain-Library/SMS", "HomeDomain-Library/SMS/sms.db",
                                       "MediaDomain-Library/SMS/Attachments/aa/lost.jpg",
                                       "CameraRollDomain-Media/DCIM/100APPLE/IMG_0001.JPG"};
  // Manifest.mbdb leaves directories out; Manifest.db lists them.
  if (GetParam() == ManifestFormat::Mbdb) expected.erase(expected.begin());
  EXPECT_EQ(keys, expected);

  for (const auto& record : b.records()) {
    const auto path = StoredFilePath(dir.path(), record.fileId(), b.layout());
    if (record.content) {
      EXPECT_EQ(ReadAll(path), *record.content) << record.key();
    } else {
      EXPECT_FALSE(std::filesystem::exists(path)) << record.key();
    }
  }
  for (const char* name : {"Info.plist", "Manifest.plist", "Status.plist"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / name)) << name;
  }
}

TEST_P(BackupBuilderLayouts, WritesTheSameBytesEveryTime) {
  testsupport::TempFolder one, two;
  ASSERT_TRUE(builder::WriteDemoBackup(one.path(), GetParam(), nullptr));
  ASSERT_TRUE(builder::WriteDemoBackup(two.path(), GetParam(), nullptr));
  auto a = testsupport::SnapshotFolder(one.path());
  auto b = testsupport::SnapshotFolder(two.path());
  ASSERT_EQ(a.size(), b.size());
  for (auto& [name, entry] : a) {
    ASSERT_TRUE(b.count(name)) << name;
    EXPECT_EQ(entry.sha256, b[name].sha256) << name;
  }
}

TEST_P(BackupBuilderLayouts, DemoBackupHoldsRecognisableMedia) {
  testsupport::TempFolder dir;
  std::string error;
  ASSERT_TRUE(builder::WriteDemoBackup(dir.path(), GetParam(), &error)) << error;
  std::vector<ManifestEntry> entries;
  ASSERT_EQ(ReadFolderManifest(dir.path(), *DetectStorageLayout(dir.path()), entries), kOk);
  int recognised = 0;
  for (const auto& e : entries) {
    if (DetectFileType(StoredFilePath(dir.path(), e.fileId, *DetectStorageLayout(dir.path())))) ++recognised;
  }
  EXPECT_GE(recognised, 15);
}

INSTANTIATE_TEST_SUITE_P(BothIndexes, BackupBuilderLayouts,
                         ::testing::Values(ManifestFormat::Db, ManifestFormat::Mbdb), [](const auto& info) {
                           return info.param == ManifestFormat::Db ? "ManifestDb" : "Mbdb";
                         });

TEST(BackupBuilder, PutsEveryInfoPlistValueOnTheLineAfterItsKey) {
  BackupBuilder b;
  b.device().displayName = "Kim's <Phone> & Co";
  testsupport::TempFolder dir;
  ASSERT_TRUE(b.write(dir.path()));
  const auto lines = Lines(dir / "Info.plist");
  struct Case {
    const char* key;
    std::string value;
  };
  const Case cases[] = {
      {"Display Name", "<string>Kim's &lt;Phone&gt; &amp; Co</string>"},
      {"Last Backup Date", "<date>2019-03-22T05:26:43Z</date>"},
      {"Phone Number", "<string>+1 (555) 010-4477</string>"},
      {"Product Version", "<string>12.1.4</string>"},
      {"Serial Number", "<string>F17VQ0DEMO01</string>"},
  };
  for (const auto& c : cases) {
    const auto it = std::find(lines.begin(), lines.end(), std::string("\t<key>") + c.key + "</key>");
    ASSERT_NE(it, lines.end()) << c.key;
    ASSERT_NE(it + 1, lines.end()) << c.key;
    EXPECT_EQ(*(it + 1), "\t" + c.value) << c.key;
  }
  // The serial number comes after the keys read before it.
  const auto position = [&](const std::string& key) {
    return std::find(lines.begin(), lines.end(), "\t<key>" + key + "</key>") - lines.begin();
  };
  EXPECT_LT(position("Product Version"), position("Serial Number"));
  EXPECT_LT(position("Display Name"), position("Last Backup Date"));

  BackupBuilder noPhone;
  noPhone.device().phoneNumber.reset();
  testsupport::TempFolder other;
  ASSERT_TRUE(noPhone.write(other.path()));
  std::ifstream in(other / "Info.plist");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("Phone Number"), std::string::npos);
  std::ifstream manifest(other / "Manifest.plist");
  const std::string manifestText((std::istreambuf_iterator<char>(manifest)),
                                 std::istreambuf_iterator<char>());
  EXPECT_NE(manifestText.find("<key>IsEncrypted</key>\n\t<false/>"), std::string::npos);
}

TEST(BackupBuilder, LeavesDeletedRowsInFreeSpaceAtTheChosenPageSize) {
  builder::SqliteRecipe recipe;
  recipe.pageSize = 1024;
  // A long table whose middle is deleted frees whole pages; a row deleted from
  // a small table becomes a free block of its page.
  recipe.statements.push_back("CREATE TABLE bulk(ROWID INTEGER PRIMARY KEY, text TEXT)");
  for (int i = 0; i < 200; ++i) {
    recipe.statements.push_back("INSERT INTO bulk(text) VALUES('row number " + std::to_string(i) +
                                " with padding padding padding')");
  }
  recipe.statements.push_back("CREATE TABLE message(ROWID INTEGER PRIMARY KEY, text TEXT)");
  for (const char* text : {"first", "the secret that was deleted", "last"}) {
    recipe.statements.push_back(std::string("INSERT INTO message(text) VALUES('") + text + "')");
  }
  recipe.deletions.push_back("DELETE FROM bulk WHERE ROWID BETWEEN 20 AND 150");
  recipe.deletions.push_back("DELETE FROM message WHERE text LIKE 'the secret%'");
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(builder::BuildSqliteDatabase(recipe, bytes, &error)) << error;
  ASSERT_GE(bytes.size(), 100u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 15), "SQLite format 3");
  EXPECT_EQ((bytes[16] << 8) | bytes[17], 1024);
  const uint32_t freelistPages = (bytes[36] << 24) | (bytes[37] << 16) | (bytes[38] << 8) | bytes[39];
  EXPECT_GT(freelistPages, 0u);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("the secret that was deleted"), std::string::npos) << "secure_delete must be off";

  EXPECT_EQ(bytes[18], 1) << "rollback journal unless WAL is asked for";
  recipe.walMode = true;
  ASSERT_TRUE(builder::BuildSqliteDatabase(recipe, bytes, &error)) << error;
  EXPECT_EQ(bytes[18], 2);
  EXPECT_EQ(bytes[19], 2);
  EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("the secret that was deleted"), std::string::npos);

  recipe.statements.push_back("INSERT INTO nowhere VALUES(1)");
  EXPECT_FALSE(builder::BuildSqliteDatabase(recipe, bytes, &error));
  EXPECT_NE(error.find("nowhere"), std::string::npos);

  BackupBuilder b;
  recipe.statements.pop_back();
  ASSERT_TRUE(b.addDatabase("HomeDomain", "Library/SMS/sms.db", recipe, &error)) << error;
  ASSERT_EQ(b.records().size(), 1u);
  EXPECT_EQ(b.records()[0].fileId(), "3d0d7e5fb2ce288813306e4d4636395e047a3d28");
}

TEST(BackupBuilder, LetsAFixtureTransformStoredContentAndOverrideIds) {
  BackupBuilder b(ManifestFormat::Db);
  b.addFile("HomeDomain", "a.txt", std::string_view("plain"));
  b.addFile("HomeDomain", "b.txt", std::string_view("never written")).fileIdOverride = "../../escape";
  b.setContentTransform([](const builder::ManifestRecord&, std::span<const uint8_t> in) {
    std::vector<uint8_t> out(in.rbegin(), in.rend());
    return out;
  });
  testsupport::TempFolder dir;
  ASSERT_TRUE(b.write(dir / "backup"));
  const auto stored = ReadAll(b.storedPathOf(dir / "backup", b.records()[0]));
  EXPECT_EQ(std::string(stored.begin(), stored.end()), "nialp");
  EXPECT_FALSE(std::filesystem::exists(dir / "escape"));
  std::vector<ManifestEntry> entries;
  ASSERT_EQ(ReadFolderManifest(dir / "backup", StorageLayout::TwoCharacterFolders, entries), kOk);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].fileId, "../../escape");

  std::string error;
  EXPECT_FALSE(b.addFileFromDisk("HomeDomain", "c.txt", dir / "nothing-here", &error));
  EXPECT_FALSE(b.addFileFromDisk("HomeDomain", "c.txt", dir.path(), &error));
  EXPECT_EQ(b.records().size(), 2u);
  ASSERT_TRUE(b.addFileFromDisk("HomeDomain", "c.txt", dir / "backup" / "Info.plist", &error)) << error;
  EXPECT_EQ(b.records().back().content->size(), std::filesystem::file_size(dir / "backup" / "Info.plist"));
}

}  // namespace
}  // namespace fq

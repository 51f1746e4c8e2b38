#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/FileId.h"
#include "engine/backup/ManifestDb.h"
#include "engine/backup/ManifestMbdb.h"
#include "engine/backup/StoredFilePath.h"

namespace fq {
namespace {

TEST(FileIdOf, MatchesTheWellKnownIds) {
  EXPECT_EQ(FileIdOf("HomeDomain-Library/SMS/sms.db"), "3d0d7e5fb2ce288813306e4d4636395e047a3d28");
  EXPECT_EQ(FileIdOf("HomeDomain-Library/AddressBook/AddressBook.sqlitedb"),
            "31bb7ba8914766d4ba40d6dfb6113c8b614be442");
  EXPECT_EQ(FileIdOf("AppDomain-net.whatsapp.WhatsApp-Documents/ChatStorage.sqlite"),
            "1b6b187a1b60b9ae8b720c79e2c67f472bab09c0");
}

// Writes mbdb records the way the index lays them out.
class MbdbWriter {
 public:
  MbdbWriter() { m_bytes = {'m', 'b', 'd', 'b', 5, 0}; }
  void string(const std::string& s) {
    u16(static_cast<uint16_t>(s.size()));
    m_bytes.insert(m_bytes.end(), s.begin(), s.end());
  }
  void absent() { u16(0xFFFF); }
  void u16(uint16_t v) {
    m_bytes.push_back(static_cast<uint8_t>(v >> 8));
    m_bytes.push_back(static_cast<uint8_t>(v));
  }
  void record(const std::string& domain, const std::string& path, uint16_t mode, int properties = 0) {
    string(domain);
    string(path);
    absent();  // link target
    string("0123456789abcdef0123");  // data hash
    absent();  // encryption key
    u16(mode);
    m_bytes.insert(m_bytes.end(), 8 + 4 * 5 + 8, 0);
    m_bytes.push_back(3);  // protection class
    m_bytes.push_back(static_cast<uint8_t>(properties));
    for (int p = 0; p < properties; ++p) {
      string("name" + std::to_string(p));
      string("value");
    }
  }
  std::vector<uint8_t> m_bytes;
};

TEST(ParseManifestMbdb, KeepsFilesAndLinksButNotDirectories) {
  MbdbWriter w;
  w.record("HomeDomain", "Library/SMS", 0x41ED);
  w.record("HomeDomain", "Library/SMS/sms.db", 0x81A4, 3);
  w.record("HomeDomain", "Library/link", 0xA1ED);
  w.record("", "Library/empty-domain", 0x81A4);
  std::vector<ManifestEntry> entries;
  ASSERT_EQ(ParseManifestMbdb(w.m_bytes, entries), kOk);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].key, "HomeDomain-Library/SMS/sms.db");
  EXPECT_EQ(entries[0].fileId, "3d0d7e5fb2ce288813306e4d4636395e047a3d28");
  EXPECT_EQ(entries[1].key, "HomeDomain-Library/link");
}

TEST(ParseManifestMbdb, StopsAtARecordCutShortAndKeepsWhatCameBefore) {
  MbdbWriter w;
  w.record("HomeDomain", "a.txt", 0x81A4);
  w.record("HomeDomain", "b.txt", 0x81A4, 2);
  const std::vector<uint8_t> whole = w.m_bytes;
  for (size_t cut = 6; cut < whole.size(); ++cut) {
    std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<long>(cut));
    std::vector<ManifestEntry> entries;
    ASSERT_EQ(ParseManifestMbdb(part, entries), kOk) << cut;
    EXPECT_LE(entries.size(), 1u) << cut;
  }
}

TEST(ParseManifestMbdb, RefusesForeignDataAndAcceptsAnEmptyIndex) {
  std::vector<ManifestEntry> entries;
  const std::vector<uint8_t> foreign = {'m', 'b', 'd', 'x', 5, 0};
  EXPECT_EQ(ParseManifestMbdb(foreign, entries), kInvalid);
  const std::vector<uint8_t> empty = {'m', 'b', 'd', 'b', 5, 0};
  EXPECT_EQ(ParseManifestMbdb(empty, entries), kOk);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(ReadManifestMbdb("/nonexistent/Manifest.mbdb", entries), kMbdbUnopenable);
}

class ManifestDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("fq-manifest-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }
  std::filesystem::path m_dir;
};

TEST_F(ManifestDbTest, BuildsKeysFromDomainAndPathAndLeavesTheFolderUntouched) {
  const auto path = m_dir / "Manifest.db";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE Files(fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags "
                         "INTEGER, file BLOB);"
                         "INSERT INTO Files VALUES('3d0d7e5fb2ce288813306e4d4636395e047a3d28','HomeDomain',"
                         "'Library/SMS/sms.db',1,NULL);"
                         "INSERT INTO Files VALUES('aa','HomeDomain',NULL,2,NULL);"
                         "INSERT INTO Files VALUES('bb','HomeDomain','',2,NULL);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  std::vector<ManifestEntry> entries;
  ASSERT_EQ(ReadManifestDb(path, entries), kOk);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].key, "HomeDomain-Library/SMS/sms.db");
  EXPECT_EQ(entries[1].key, "HomeDomain");
  EXPECT_EQ(entries[2].key, "HomeDomain-");
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(m_dir)) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1u) << "reading must not leave journal, wal or shm files";
}

TEST_F(ManifestDbTest, ReportsAMissingFilesTable) {
  const auto path = m_dir / "Manifest.db";
  std::ofstream(path, std::ios::binary) << "";  // empty file: a valid, empty database
  std::vector<ManifestEntry> entries;
  EXPECT_EQ(ReadManifestDb(path, entries), kQueryFailed);
  EXPECT_TRUE(entries.empty());
}

TEST(StoredFilePath, FollowsTheLayoutAndRefusesNonIds) {
  const std::string id = "3d0d7e5fb2ce288813306e4d4636395e047a3d28";
  EXPECT_EQ(StoredFilePath("/b", id, StorageLayout::TwoCharacterFolders), "/b/3d/" + id);
  EXPECT_EQ(StoredFilePath("/b", id, StorageLayout::Flat), "/b/" + id);
  EXPECT_TRUE(StoredFilePath("/b", "../../etc/passwd", StorageLayout::Flat).empty());
  EXPECT_TRUE(StoredFilePath("/b", "", StorageLayout::Flat).empty());
}

}  // namespace
}  // namespace fq

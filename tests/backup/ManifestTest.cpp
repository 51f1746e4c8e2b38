#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/FileId.h"
#include "engine/backup/ManifestDb.h"
#include "engine/backup/ManifestMbdb.h"
#include "engine/backup/ManifestOfFolder.h"
#include "engine/backup/StoredFilePath.h"
#include "engine/backup/WellKnownDatabases.h"
#include "tests/support/FolderSnapshot.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/ManifestDbWriter.h"
#include "tools/backupbuilder/ManifestRecord.h"
#include "tools/backupbuilder/MbdbWriter.h"

namespace fq {
namespace {

using builder::ManifestRecord;

TEST(FileIdOf, IsTheSha1OfTheKeyInLowercaseHex) {
  struct Case {
    std::string key;
    std::string_view id;
  };
  const Case cases[] = {
      {"HomeDomain-Library/SMS/sms.db", wellknown::kSms},
      {"HomeDomain-Library/AddressBook/AddressBook.sqlitedb", wellknown::kAddressBook},
      {"HomeDomain-Library/Notes/notes.sqlite", wellknown::kNotes},
      {"HomeDomain-Library/CallHistoryDB/CallHistory.storedata", wellknown::kCallHistory},
      {"WirelessDomain-Library/CallHistory/call_history.db", wellknown::kCallHistoryOld},
      {"AppDomainGroup-group.net.whatsapp.WhatsApp.shared-ChatStorage.sqlite", wellknown::kWhatsAppShared},
      {"AppDomain-net.whatsapp.WhatsApp-Documents/ChatStorage.sqlite", wellknown::kWhatsAppDocuments},
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      // A key is hashed as its bytes: embedded NULs count.
      {std::string("a\0b", 3), "4a3dec2d1f8245280855c42db0ee4239f917fdb8"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileIdOf(c.key), c.id) << c.key;
}

ManifestRecord Record(std::string domain, std::string path, uint16_t mode = builder::kModeFile) {
  ManifestRecord r;
  r.domain = std::move(domain);
  r.relativePath = std::move(path);
  r.mode = mode;
  r.dataHash = "0123456789abcdef0123";
  return r;
}

std::vector<ManifestEntry> Parse(const std::vector<uint8_t>& bytes, int32_t expected = kOk) {
  std::vector<ManifestEntry> entries;
  EXPECT_EQ(ParseManifestMbdb(bytes, entries), expected);
  return entries;
}

TEST(ParseManifestMbdb, ReadsARecordWrittenByHand) {
  // One regular file, every string absent but the key halves, no properties.
  const std::vector<uint8_t> bytes = {
      'm',  'b',  'd', 'b',  5,   0,                                      // magic, version
      0,    10,   'H', 'o',  'm', 'e', 'D', 'o',  'm',  'a',  'i',  'n',  // domain
      0,    18,   'L', 'i',  'b', 'r', 'a', 'r',  'y',  '/',  'S',  'M',  'S',
      '/',  's',  'm', 's',  '.', 'd', 'b', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // link, hash, key: absent
      0x81, 0xA4,                                                                // mode
      0,    0,    0,   0,    0,   0,   0,   1,                                   // inode
      0,    0,    1,   0xF5, 0,   0,   1,   0xF5,                                // uid, gid
      0,    0,    0,   1,    0,   0,   0,   2,    0,    0,    0,    3,           // times
      0,    0,    0,   0,    0,   0,   0,   9,                                   // size
      4,    0,                                                                   // protection, properties
  };
  const auto entries = Parse(bytes);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].key, "HomeDomain-Library/SMS/sms.db");
  EXPECT_EQ(entries[0].fileId, wellknown::kSms);
}

TEST(ParseManifestMbdb, KeepsRecordsByModeAndKeyHalves) {
  struct Case {
    const char* what;
    ManifestRecord record;
    bool kept;
  };
  ManifestRecord absentDomain = Record("", "Library/x");
  absentDomain.domain.reset();
  ManifestRecord absentPath = Record("HomeDomain", "");
  absentPath.relativePath.reset();
  const Case cases[] = {
      {"directory 0x41ED", Record("HomeDomain", "Library/SMS", 0x41ED), false},
      {"bare directory type 0x4000", Record("HomeDomain", "Library/d", 0x4000), false},
      {"regular file 0x81A4", Record("HomeDomain", "Library/f", 0x81A4), true},
      {"link 0xA1ED", Record("HomeDomain", "Library/l", 0xA1ED), true},
      {"mode 0 (no type bits)", Record("HomeDomain", "Library/z", 0), true},
      {"socket-like 0xC1ED", Record("HomeDomain", "Library/s", 0xC1ED), true},
      {"empty domain", Record("", "Library/x"), false},
      {"empty path", Record("HomeDomain", ""), false},
      {"absent domain", absentDomain, false},
      {"absent path", absentPath, false},
  };
  for (const auto& c : cases) {
    const ManifestRecord records[] = {c.record, Record("HomeDomain", "after")};
    const auto entries = Parse(builder::EncodeManifestMbdb(records));
    // The record after it must always be read: the cursor moved by exactly the record.
    ASSERT_EQ(entries.size(), c.kept ? 2u : 1u) << c.what;
    EXPECT_EQ(entries.back().key, "HomeDomain-after") << c.what;
    if (c.kept) {
      EXPECT_EQ(entries[0].key, c.record.key()) << c.what;
    }
  }
}

TEST(ParseManifestMbdb, AbsentStringsTakeTwoBytesAndPropertiesTwoStringsEach) {
  ManifestRecord absent = Record("HomeDomain", "a");
  absent.linkTarget.reset();
  absent.dataHash.reset();
  absent.encryptionKey.reset();
  ManifestRecord withProperties = Record("HomeDomain", "b");
  withProperties.properties = {{"com.example.assetsd.UUID", "ABCD"}, {"", ""}, {"k", std::string(300, 'v')}};
  ManifestRecord withLink = Record("HomeDomain", "c", 0xA1ED);
  withLink.linkTarget = "/private/var/mobile/Library";
  withLink.encryptionKey = std::string(40, '\x01');
  const ManifestRecord records[] = {absent, withProperties, withLink, Record("HomeDomain", "d")};
  const auto bytes = builder::EncodeManifestMbdb(records);
  std::vector<uint8_t> one;
  builder::AppendMbdbRecord(absent, one);
  EXPECT_EQ(one.size(), 2 + 10 + 2 + 1 + 2 + 2 + 2 + 2 + 8 + 4 * 5 + 8 + 2);
  const auto entries = Parse(bytes);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].key, "HomeDomain-a");
  EXPECT_EQ(entries[1].key, "HomeDomain-b");
  EXPECT_EQ(entries[2].key, "HomeDomain-c");
  EXPECT_EQ(entries[3].key, "HomeDomain-d");
}

TEST(ParseManifestMbdb, AnswersTheSizesAtTheEdges) {
  EXPECT_TRUE(Parse({'m', 'b', 'd', 'b', 5, 0}).empty());  // magic and version only
  EXPECT_TRUE(Parse({'m', 'b', 'd', 'b', 5}).empty());
  EXPECT_TRUE(Parse({'m', 'b', 'd', 'b'}).empty());
  Parse({}, kInvalid);
  Parse({'m', 'b', 'd'}, kInvalid);
  Parse({'m', 'b', 'd', 'x', 5, 0}, kInvalid);
  Parse({'M', 'B', 'D', 'B', 5, 0}, kInvalid);
}

TEST(ParseManifestMbdb, StopsAtARecordCutShortAndKeepsWhatCameBefore) {
  ManifestRecord second = Record("HomeDomain", "b.txt");
  second.properties = {{"p", "q"}, {"r", "s"}};
  const ManifestRecord records[] = {Record("HomeDomain", "a.txt"), second};
  const auto whole = builder::EncodeManifestMbdb(records);
  std::vector<uint8_t> first;
  builder::AppendMbdbRecord(records[0], first);
  const size_t firstEnd = 6 + first.size();
  for (size_t cut = 6; cut < whole.size(); ++cut) {
    const std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
    const auto entries = Parse(part);
    EXPECT_EQ(entries.size(), cut >= firstEnd ? 1u : 0u) << cut;
  }
  EXPECT_EQ(Parse(whole).size(), 2u);
}

TEST(ParseManifestMbdb, AStringLengthBeyondTheEndReadsNothingFurther) {
  std::vector<uint8_t> bytes = {'m', 'b', 'd', 'b', 5, 0, 0xFF, 0xFE, 'x'};
  EXPECT_TRUE(Parse(bytes).empty());
  const ManifestRecord records[] = {Record("HomeDomain", "ok")};
  bytes = builder::EncodeManifestMbdb(records);
  bytes.insert(bytes.end(), {0x00, 0x05, 'A', 'p', 'p'});  // a domain longer than what is left
  const auto entries = Parse(bytes);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].key, "HomeDomain-ok");
}

TEST(ReadManifestMbdb, ReadsAFileAndAnswersForMissingOnes) {
  testsupport::TempFolder dir;
  const ManifestRecord records[] = {Record("HomeDomain", "Library/SMS/sms.db"),
                                    Record("CameraRollDomain", "Media/DCIM", 0x41ED)};
  const auto bytes = builder::EncodeManifestMbdb(records);
  std::ofstream(dir / "Manifest.mbdb", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  std::vector<ManifestEntry> entries = {{"earlier", "kept"}};
  ASSERT_EQ(ReadManifestMbdb(dir / "Manifest.mbdb", entries), kOk);
  ASSERT_EQ(entries.size(), 2u);  // appended after what the list held
  EXPECT_EQ(entries[1].fileId, wellknown::kSms);
  EXPECT_EQ(ReadManifestMbdb(dir / "missing.mbdb", entries), kMbdbUnopenable);
  EXPECT_EQ(ReadManifestMbdb("", entries), kInvalid);
  std::ofstream(dir / "empty.mbdb").close();
  EXPECT_EQ(ReadManifestMbdb(dir / "empty.mbdb", entries), kInvalid);
  EXPECT_EQ(ReadManifestMbdb(dir.path(), entries), kMbdbUnopenable) << "a folder is no index";
  EXPECT_EQ(entries.size(), 2u);
}

// An index of many megabytes is read through a window: the file gives what the
// same bytes in memory give, wherever the file ends and however large a record.
TEST(ReadManifestMbdb, ReadsAnIndexLargerThanItsWindowLikeTheBytesInMemory) {
  testsupport::TempFolder dir;
  std::vector<ManifestRecord> records;
  for (int i = 0; i < 30000; ++i) records.push_back(Record("MediaDomain", "Media/file" + std::to_string(i)));
  ManifestRecord huge = Record("HomeDomain", "huge.plist");
  for (int p = 0; p < 40; ++p)
    huge.properties.push_back({"name" + std::to_string(p), std::string(60000, 'v')});
  records.insert(records.begin() + 15000, huge);  // 2.4 MB: more than the window holds
  const auto whole = builder::EncodeManifestMbdb(records);
  ASSERT_GT(whole.size(), 4u << 20);

  const auto readFile = [&](size_t length) {
    std::ofstream(dir / "Manifest.mbdb", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(whole.data()), static_cast<std::streamsize>(length));
    std::vector<ManifestEntry> entries;
    EXPECT_EQ(ReadManifestMbdb(dir / "Manifest.mbdb", entries), kOk) << length;
    // Entries handed over one by one are the same, in the same order.
    std::vector<ManifestEntry> handed;
    EXPECT_EQ(ReadManifestMbdb(dir / "Manifest.mbdb", [&](ManifestEntry& e) { handed.push_back(e); }), kOk);
    EXPECT_EQ(handed, entries) << length;
    return entries;
  };
  const auto inMemory = [&](size_t length) {
    return Parse(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
  };
  EXPECT_EQ(readFile(whole.size()).size(), records.size());
  for (const size_t length : {size_t{1} << 20, (size_t{1} << 20) + 7, whole.size() / 2, whole.size() - 1}) {
    EXPECT_EQ(readFile(length), inMemory(length)) << length;
  }
}

TEST(ReadManifestMbdb, RefusesAFifoWithoutWaitingForAWriter) {
  testsupport::TempFolder dir;
  ASSERT_EQ(mkfifo((dir / "Manifest.mbdb").c_str(), 0600), 0);
  std::vector<ManifestEntry> entries;
  EXPECT_EQ(ReadManifestMbdb(dir / "Manifest.mbdb", entries), kMbdbUnopenable);
}

class ManifestDbTest : public ::testing::Test {
 protected:
  std::filesystem::path makeDb(const std::string& sql) {
    const auto path = m_dir / "Manifest.db";
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    return path;
  }
  testsupport::TempFolder m_dir;
};

TEST_F(ManifestDbTest, BuildsKeysFromDomainAndPathAndLeavesTheFolderUntouched) {
  const auto path = makeDb(
      "CREATE TABLE Files(fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB);"
      "INSERT INTO Files "
      "VALUES('3d0d7e5fb2ce288813306e4d4636395e047a3d28','HomeDomain','Library/SMS/sms.db',1,"
      "NULL);"
      "INSERT INTO Files VALUES('aa','HomeDomain',NULL,2,NULL);"
      "INSERT INTO Files VALUES('bb','HomeDomain','',2,NULL);"
      "INSERT INTO Files VALUES(NULL,NULL,'Library/orphan',1,NULL);"
      "INSERT INTO Files VALUES('cc','CameraRollDomain','Media/DCIM/100APPLE/IMG_0001.JPG',1,NULL);");
  const auto before = testsupport::SnapshotFolder(m_dir.path());
  std::vector<ManifestEntry> entries;
  ASSERT_EQ(ReadManifestDb(path, entries), kOk);
  const std::vector<ManifestEntry> expected = {
      {"HomeDomain-Library/SMS/sms.db", "3d0d7e5fb2ce288813306e4d4636395e047a3d28"},
      {"HomeDomain", "aa", ManifestEntryKind::Folder},   // NULL path: the domain alone
      {"HomeDomain-", "bb", ManifestEntryKind::Folder},  // empty path: domain and "-"
      {"-Library/orphan", ""},
      {"CameraRollDomain-Media/DCIM/100APPLE/IMG_0001.JPG", "cc"},
  };
  EXPECT_EQ(entries, expected);
  // One entry reused row after row must not carry a key, id or kind over.
  std::vector<ManifestEntry> handed;
  ASSERT_EQ(ReadManifestDb(path, [&](ManifestEntry& e) { handed.push_back(e); }), kOk);
  EXPECT_EQ(handed, expected);
  EXPECT_EQ(testsupport::SnapshotFolder(m_dir.path()), before) << "no journal, wal or shm may appear";
}

// Flags 4 is a link; a Files table without flags is still read, its entries taken for files.
TEST_F(ManifestDbTest, KindsComeFromTheFlagsWhenThereAreAny) {
  const auto flagged = makeDb(
      "CREATE TABLE Files(fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB);"
      "INSERT INTO Files VALUES('aa','HomeDomain','Library/link',4,NULL);");
  std::vector<ManifestEntry> entries;
  ASSERT_EQ(ReadManifestDb(flagged, entries), kOk);
  EXPECT_EQ(entries,
            (std::vector<ManifestEntry>{{"HomeDomain-Library/link", "aa", ManifestEntryKind::Link}}));
  std::filesystem::remove(flagged);
  const auto plain = makeDb(
      "CREATE TABLE Files(fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT);"
      "INSERT INTO Files VALUES('bb','HomeDomain','Library/x');");
  entries.clear();
  ASSERT_EQ(ReadManifestDb(plain, entries), kOk);
  EXPECT_EQ(entries, (std::vector<ManifestEntry>{{"HomeDomain-Library/x", "bb", ManifestEntryKind::File}}));
}

TEST_F(ManifestDbTest, AnswersForMissingTablesForeignFilesAndMissingFiles) {
  std::vector<ManifestEntry> entries;
  std::ofstream(m_dir / "empty.db").close();  // an empty file is an empty database
  EXPECT_EQ(ReadManifestDb(m_dir / "empty.db", entries), kQueryFailed);
  std::ofstream(m_dir / "foreign.db") << std::string(4096, 'x');
  EXPECT_EQ(ReadManifestDb(m_dir / "foreign.db", entries), kQueryFailed);
  EXPECT_EQ(ReadManifestDb(m_dir / "missing.db", entries), SQLITE_CANTOPEN);
  const auto path = makeDb("CREATE TABLE Other(x);");
  EXPECT_EQ(ReadManifestDb(path, entries), kQueryFailed);
  EXPECT_TRUE(entries.empty());
}

TEST_F(ManifestDbTest, ADamagedIndexKeepsTheRowsReadBeforeTheDamage) {
  std::vector<ManifestRecord> records;
  for (int i = 0; i < 600; ++i) records.push_back(Record("HomeDomain", "Library/file" + std::to_string(i)));
  const auto path = m_dir / "Manifest.db";
  ASSERT_TRUE(builder::WriteManifestDb(path, records, nullptr));
  std::vector<ManifestEntry> whole;
  ASSERT_EQ(ReadManifestDb(path, whole), kOk);
  ASSERT_EQ(whole.size(), 600u);

  // Overwrite the second half of the file, page 1 and the early pages stay intact.
  const auto size = std::filesystem::file_size(path);
  {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(size / 2 / 4096 * 4096));
    const std::string garbage(size - size / 2 / 4096 * 4096, '\xA5');
    file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
  }
  std::vector<ManifestEntry> partial;
  EXPECT_EQ(ReadManifestDb(path, partial), kQueryFailed);
  EXPECT_GT(partial.size(), 0u);
  EXPECT_LT(partial.size(), 600u);
  for (size_t i = 0; i < partial.size(); ++i) EXPECT_EQ(partial[i], whole[i]);
  // Handed over one by one: the same rows before the damage, then the same answer.
  std::vector<ManifestEntry> handed;
  EXPECT_EQ(ReadManifestDb(path, [&](ManifestEntry& e) { handed.push_back(e); }), kQueryFailed);
  EXPECT_EQ(handed, partial);
}

TEST(StoredFilePath, FollowsTheLayoutAndRefusesNonIds) {
  const std::string id(wellknown::kSms);
  struct Case {
    std::string fileId;
    StorageLayout layout;
    std::string expected;
  };
  const Case cases[] = {
      {id, StorageLayout::TwoCharacterFolders, "/b/3d/" + id},
      {id, StorageLayout::Flat, "/b/" + id},
      {"ABCDEF0123456789ABCDEF0123456789ABCDEF01", StorageLayout::TwoCharacterFolders,
       "/b/AB/ABCDEF0123456789ABCDEF0123456789ABCDEF01"},
      {"../../etc/passwd", StorageLayout::Flat, ""},
      {"", StorageLayout::Flat, ""},
      {id.substr(0, 39), StorageLayout::Flat, ""},
      {id + "0", StorageLayout::Flat, ""},
      {"../" + id.substr(3), StorageLayout::TwoCharacterFolders, ""},
      {std::string(39, 'a') + "/", StorageLayout::Flat, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(StoredFilePath("/b", c.fileId, c.layout), c.expected) << c.fileId;
}

TEST(ReadFolderManifest, PicksTheIndexByLayoutAndAnswers87WhenItIsMissing) {
  testsupport::TempFolder dir;
  std::vector<ManifestEntry> entries;
  EXPECT_FALSE(DetectStorageLayout(dir.path()).has_value());
  EXPECT_EQ(ReadFolderManifest(dir.path(), StorageLayout::Flat, entries), kInvalid);
  EXPECT_EQ(ReadFolderManifest(dir.path(), StorageLayout::TwoCharacterFolders, entries), kInvalid);

  const ManifestRecord records[] = {Record("HomeDomain", "Library/Notes/notes.sqlite")};
  const auto bytes = builder::EncodeManifestMbdb(records);
  std::ofstream(dir / "Manifest.mbdb", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  EXPECT_EQ(DetectStorageLayout(dir.path()), StorageLayout::Flat);
  ASSERT_EQ(ReadFolderManifest(dir.path(), StorageLayout::Flat, entries), kOk);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].fileId, wellknown::kNotes);
  // A folder that holds both is a Manifest.db backup.
  std::ofstream(dir / "Manifest.db").close();
  EXPECT_EQ(DetectStorageLayout(dir.path()), StorageLayout::TwoCharacterFolders);
  std::filesystem::create_directory(dir / "folder");
  std::filesystem::create_directory(dir / "folder" / "Manifest.mbdb");
  EXPECT_FALSE(DetectStorageLayout(dir / "folder").has_value()) << "a folder named like an index is none";
}

}  // namespace
}  // namespace fq

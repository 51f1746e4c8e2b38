#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/BackupDiscovery.h"
#include "tests/session/SessionFixtures.h"

namespace fq {
namespace {

using testsupport::ScopedEnv;
using testsupport::ScratchFolder;
using testsupport::WriteFile;
namespace fs = std::filesystem;

const std::string kAddressBookId = "31bb7ba8914766d4ba40d6dfb6113c8b614be442";

struct PlistValues {
  std::string name = "Anna's iPhone";
  std::string date = "2019-03-22T05:26:43Z";
  std::string phone = "+49 151 1234567";
  std::string version = "12.1.4";
  std::string serial = "F2LXK0ABCD";
};

// An Info.plist laid out as the sync software writes it; an empty value
// leaves its key out.
std::string InfoPlist(const PlistValues& v) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
  const auto add = [&text](const char* key, const std::string& element) {
    text += std::string("\t<key>") + key + "</key>\n\t" + element + "\n";
  };
  add("Build Version", "<string>16D57</string>");
  if (!v.name.empty()) add("Display Name", "<string>" + v.name + "</string>");
  if (!v.date.empty()) add("Last Backup Date", "<date>" + v.date + "</date>");
  if (!v.phone.empty()) add("Phone Number", "<string>" + v.phone + "</string>");
  if (!v.version.empty()) add("Product Version", "<string>" + v.version + "</string>");
  if (!v.serial.empty()) add("Serial Number", "<string>" + v.serial + "</string>");
  add("Target Identifier", "<string>abcdef</string>");
  return text + "</dict>\n</plist>\n";
}

TEST(ConvertBackupDate, ShowsTheLocalTimeOfThatInstant) {
  const struct {
    const char* zone;
    const char* utc;
    const char* local;
  } cases[] = {
      {"<+08>-8", "2019-03-22 05:26:43", "2019-03-22 13:26:43"},  // bias -480
      {"<-05>5", "2019-03-22 05:26:43", "2019-03-22 00:26:43"},   // bias 300
      {"<+08>-8", "2019-03-22 20:00:00", "2019-03-23 04:00:00"},  // past midnight
      {"<-05>5", "2019-01-01 02:00:00", "2018-12-31 21:00:00"},   // back over the new year
      {"UTC0", "2019-03-22 05:26:43", "2019-03-22 05:26:43"},
      // Daylight saving of the instant itself: summer is an hour ahead of winter.
      {"CET-1CEST,M3.5.0,M10.5.0/3", "2019-07-22 05:26:43", "2019-07-22 07:26:43"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", "2019-01-22 05:26:43", "2019-01-22 06:26:43"},
      {"EST5EDT,M3.2.0,M11.1.0", "2019-07-04 12:00:00", "2019-07-04 08:00:00"},
      {"EST5EDT,M3.2.0,M11.1.0", "2019-12-04 12:00:00", "2019-12-04 07:00:00"},
      {"<+0530>-5:30", "2020-02-29 20:00:00", "2020-03-01 01:30:00"},
  };
  for (const auto& c : cases) {
    ScopedEnv tz("TZ", c.zone);
    EXPECT_EQ(ConvertBackupDate(c.utc), c.local) << c.zone << " " << c.utc;
  }
}

TEST(ConvertBackupDate, GivesNothingForTextThatIsNoDate) {
  ScopedEnv tz("TZ", "UTC0");
  for (const char* text :
       {"", "garbage", "2019-03-22", "2019-03-22 05:26", "2019-03-22T05:26:43", "2019-02-30 10:00:00",
        "2019-13-01 00:00:00", "2019-00-10 00:00:00", "2019-03-22 24:00:00", "2019-03-22 05:60:00",
        "xxxx-03-22 05:26:43", "99999999999999999999-03-22 05:26:43", "-5-03-22 05:26:43"}) {
    EXPECT_EQ(ConvertBackupDate(text), "") << text;
  }
}

class BackupFolderTest : public ::testing::Test {
 protected:
  fs::path backup(const std::string& name, const std::string& plist) {
    const fs::path folder = scratch / name;
    WriteFile(folder / "Info.plist", plist);
    return folder;
  }
  ScopedEnv tz{"TZ", "UTC0"};
  ScratchFolder scratch;
};

TEST_F(BackupFolderTest, ReadsTheKeysOfInfoPlist) {
  const fs::path folder = backup("b1", InfoPlist({.name = "Ann &amp; Bo \xE2\x80\x99s iPhone"}));
  BackupInfo info;
  ASSERT_EQ(ReadBackupFolder(folder, info), kOk);
  EXPECT_EQ(info.displayName, "Ann & Bo \xE2\x80\x99s iPhone");
  EXPECT_EQ(info.lastBackupDate, "2019-03-22 05:26:43");
  EXPECT_EQ(info.phoneNumber, "+49 151 1234567");
  EXPECT_EQ(info.serialNumber, "F2LXK0ABCD");
  EXPECT_TRUE(info.newerThan11);
  EXPECT_FALSE(info.encrypted);
  EXPECT_EQ(info.folder, folder);
}

TEST_F(BackupFolderTest, FollowsTheLineRules) {
  const struct {
    const char* what;
    std::string plist;
    BackupInfo expected;  // folder filled in below
  } cases[] = {
      {"no phone number key",
       InfoPlist({.phone = ""}),
       {false, true, "2019-03-22 05:26:43", "", "F2LXK0ABCD", {}, "Anna's iPhone"}},
      {"product version 11.4 is not newer than 11",
       InfoPlist({.version = "11.4"}),
       {false, false, "2019-03-22 05:26:43", "+49 151 1234567", "F2LXK0ABCD", {}, "Anna's iPhone"}},
      {"an unreadable date is shown raw, T and Z handled",
       InfoPlist({.date = "2019-03-22Tlate at nightZ+1"}),
       {false, true, "2019-03-22 late at night", "+49 151 1234567", "F2LXK0ABCD", {}, "Anna's iPhone"}},
      {"reading stops at the serial number",
       InfoPlist({.phone = "", .serial = "S1"}) + "\t<key>Phone Number</key>\n\t<string>late</string>\n",
       {false, true, "2019-03-22 05:26:43", "", "S1", {}, "Anna's iPhone"}},
      {"a value on its key's line is not found; the next line is taken as the value",
       "<dict>\n<key>Phone Number</key><string>123</string>\n<key>Product "
       "Version</key>\n<string>14.2</string>\n"
       "<key>Serial Number</key>\n<string>S2</string>\n",
       {false, false, "", "", "S2", {}, ""}},
      {"a value line without its element leaves the field empty",
       "<key>Display Name</key>\nAnna\n<key>Serial Number</key>\n<integer>5</integer>\n",
       {false, false, "", "", "", {}, ""}},
      {"a key on the last line ends the reading",
       "<key>Display Name</key>",
       {false, false, "", "", "", {}, ""}},
      {"damaged UTF-8 in the name shows as U+FFFD",
       "<key>Display Name</key>\n<string>A\xFF</string>\n",
       {false, false, "", "", "", {}, "A\xEF\xBF\xBD"}},
      {"lines longer than 2047 bytes are read in pieces",
       std::string(5000, 'x') + "<key>Serial Number</key>\n<string>S3</string>\n",
       {false, false, "", "", "S3", {}, ""}},
      {"a damaged binary plist gives no keys",
       std::string("bplist00\0\x01\x02", 11),
       {false, false, "", "", "", {}, ""}},
  };
  int n = 0;
  for (const auto& c : cases) {
    const fs::path folder = backup("case" + std::to_string(n++), c.plist);
    BackupInfo info;
    info.phoneNumber = "stale";
    ASSERT_EQ(ReadBackupFolder(folder, info), kOk) << c.what;
    BackupInfo expected = c.expected;
    expected.folder = folder;
    EXPECT_EQ(info, expected) << c.what;
  }
}

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistOwner = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistFree>;

// `root` in the binary property list form (dates in seconds from 2001).
std::string BinaryPlist(const PlistOwner& root) {
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(root.get(), &bytes, &length);
  std::string out(bytes, length);
  std::free(bytes);  // libplist hands out malloc memory
  return out;
}

// The Info.plist of PlistValues as a binary dictionary; `phoneAsNumber`
// stores the phone number with the wrong type.
std::string BinaryInfoPlist(const PlistValues& v, bool phoneAsNumber = false) {
  PlistOwner dict(plist_new_dict());
  plist_dict_set_item(dict.get(), "Build Version", plist_new_string("16D57"));
  if (!v.name.empty()) plist_dict_set_item(dict.get(), "Display Name", plist_new_string(v.name.c_str()));
  // 2019-03-22 05:26:43 UTC
  plist_dict_set_item(dict.get(), "Last Backup Date", plist_new_date(574925203, 0));
  if (phoneAsNumber) {
    plist_dict_set_item(dict.get(), "Phone Number", plist_new_uint(491511234567));
  } else if (!v.phone.empty()) {
    plist_dict_set_item(dict.get(), "Phone Number", plist_new_string(v.phone.c_str()));
  }
  if (!v.version.empty())
    plist_dict_set_item(dict.get(), "Product Version", plist_new_string(v.version.c_str()));
  if (!v.serial.empty()) plist_dict_set_item(dict.get(), "Serial Number", plist_new_string(v.serial.c_str()));
  return BinaryPlist(dict);
}

TEST_F(BackupFolderTest, ReadsABinaryInfoPlistAsTheXmlOne) {
  const PlistValues values{.name = "Ann & Bo \xE2\x80\x99s iPhone"};
  PlistOwner array(plist_new_array());
  plist_array_append_item(array.get(), plist_new_string("Display Name"));
  const struct {
    const char* what;
    std::string plist;
    BackupInfo expected;  // folder filled in below
  } cases[] = {
      {"all keys",
       BinaryInfoPlist(values),
       {false,
        true,
        "2019-03-22 05:26:43",
        "+49 151 1234567",
        "F2LXK0ABCD",
        {},
        "Ann & Bo \xE2\x80\x99s iPhone"}},
      {"11.4, no phone number",
       BinaryInfoPlist({.phone = "", .version = "11.4"}),
       {false, false, "2019-03-22 05:26:43", "", "F2LXK0ABCD", {}, "Anna's iPhone"}},
      {"a value of the wrong type is left empty",
       BinaryInfoPlist({}, true),
       {false, true, "2019-03-22 05:26:43", "", "F2LXK0ABCD", {}, "Anna's iPhone"}},
      {"a root that is no dictionary", BinaryPlist(array), {false, false, "", "", "", {}, ""}},
      {"cut short", BinaryInfoPlist(values).substr(0, 60), {false, false, "", "", "", {}, ""}},
  };
  int n = 0;
  for (const auto& c : cases) {
    const fs::path folder = backup("binary" + std::to_string(n++), c.plist);
    BackupInfo info;
    ASSERT_EQ(ReadBackupFolder(folder, info), kOk) << c.what;
    BackupInfo expected = c.expected;
    expected.folder = folder;
    EXPECT_EQ(info, expected) << c.what;
  }
  // The list reads the binary form too.
  std::vector<BackupInfo> list;
  ASSERT_EQ(ListBackups({scratch / "binary0"}, list), kOk);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].serialNumber, "F2LXK0ABCD");
}

TEST_F(BackupFolderTest, AFolderWithoutInfoPlistLeavesTheRecordUntouched) {
  fs::create_directories(scratch / "empty");
  fs::create_directories(scratch / "dir-plist" / "Info.plist");
  BackupInfo info;
  info.displayName = "kept";
  EXPECT_EQ(ReadBackupFolder(scratch / "empty", info), kInvalid);
  EXPECT_EQ(ReadBackupFolder(scratch / "dir-plist", info), kInvalid);
  EXPECT_EQ(ReadBackupFolder(scratch / "missing", info), kInvalid);
  EXPECT_EQ(info.displayName, "kept");
}

TEST_F(BackupFolderTest, ProbesTheAddressBookForEncryption) {
  const struct {
    const char* what;
    bool manifestDb;
    std::string probeName;  // relative to the backup folder; empty: no probe file
    std::string head;
    bool encrypted;
  } cases[] = {
      {"plain SQLite", false, kAddressBookId, std::string("SQLite format 3\0", 16), false},
      {"lower-case header", false, kAddressBookId, std::string("sqlite format 3\0", 16), false},
      {"ciphertext", false, kAddressBookId, "\x8f\x12\xa0\x33\x01\x99 random bytes", true},
      {"an empty file", false, kAddressBookId, "", true},
      {"no probe file", false, "", "", false},
      {"the .mddata name of old backups", false, kAddressBookId + ".mddata", "\x01\x02\x03\x04\x05\x06",
       true},
      {"two-character layout", true, kAddressBookId.substr(0, 2) + "/" + kAddressBookId,
       "\xff\xfe\xfd\xfc\xfb\xfa", true},
      {"two-character layout ignores a flat file", true, kAddressBookId, "\xff\xfe\xfd\xfc\xfb\xfa", false},
  };
  int n = 0;
  for (const auto& c : cases) {
    const fs::path folder = scratch / ("enc" + std::to_string(n++));
    fs::create_directories(folder);
    if (c.manifestDb) WriteFile(folder / "Manifest.db", "x");
    if (!c.probeName.empty()) WriteFile(folder / c.probeName, c.head);
    EXPECT_EQ(IsEncrypted(folder), c.encrypted) << c.what;
  }
}

TEST_F(BackupFolderTest, FifosInABackupNeverHangTheReading) {
  const fs::path folder = scratch / "fifos";
  fs::create_directories(folder);
  ASSERT_EQ(mkfifo((folder / "Info.plist").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((folder / kAddressBookId).c_str(), 0600), 0);
  BackupInfo info;
  EXPECT_EQ(ReadBackupFolder(folder, info), kInvalid);
  EXPECT_FALSE(IsEncrypted(folder));
}

TEST_F(BackupFolderTest, ListsNewestFirstAndSkipsFoldersWithoutInfoPlist) {
  const fs::path older = backup("older", InfoPlist({.name = "Old", .date = "2019-01-05T10:00:00Z"}));
  const fs::path newer = backup("newer", InfoPlist({.name = "New", .date = "2019-03-01T09:00:00Z"}));
  const fs::path twinA = backup("twinA", InfoPlist({.name = "TwinA", .date = "2018-06-01T00:00:00Z"}));
  const fs::path twinB = backup("twinB", InfoPlist({.name = "TwinB", .date = "2018-06-01T00:00:00Z"}));
  fs::create_directories(scratch / "noplist");
  std::vector<BackupInfo> list;
  EXPECT_EQ(ListBackups({twinA, older, scratch / "noplist", twinB, newer}, list), kOk);
  std::vector<std::string> names;
  for (const auto& b : list) names.push_back(b.displayName);
  EXPECT_EQ(names, (std::vector<std::string>{"New", "Old", "TwinA", "TwinB"}));

  std::vector<BackupInfo> reversed;
  ListBackups({twinB, twinA}, reversed);
  ASSERT_EQ(reversed.size(), 2u);
  EXPECT_EQ(reversed[0].displayName, "TwinB");  // equal dates keep the folder order
}

TEST_F(BackupFolderTest, BackupRootListsEntriesNotBeginningWithADot) {
  const fs::path appData = scratch / "xdg";
  const fs::path root = BackupRoot(appData);
  EXPECT_EQ(root, appData / "Apple Computer" / "MobileSync" / "backup");
  fs::create_directories(root / "abc");
  fs::create_directories(root / ".Trash");
  WriteFile(root / "stray-file", "x");
  auto folders = ListBackupFolders(root);
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(folders, (std::vector<fs::path>{root / "abc", root / "stray-file"}));
  EXPECT_TRUE(ListBackupFolders(scratch / "nothing-here").empty());
  EXPECT_TRUE(ListBackupFolders("").empty());
  EXPECT_EQ(BackupRoot(""), "");
}

}  // namespace
}  // namespace fq

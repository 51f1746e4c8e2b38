#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "engine/backup/StoredFileListing.h"
#include "engine/backup/StoredFilePath.h"
#include "tests/support/TempFolder.h"

namespace fq {
namespace {

TEST(FileIdFormOf, TellsLowercaseIdsFromCapitalsAndFromNonIds) {
  const std::string lower = "3d0d7e5fb2ce288813306e4d4636395e047a3d28";
  struct Case {
    std::string id;
    FileIdForm expected;
  };
  const Case cases[] = {
      {lower, FileIdForm::Lowercase},
      {std::string(40, '0'), FileIdForm::Lowercase},
      {std::string(40, 'f'), FileIdForm::Lowercase},
      {"3D0D7E5FB2CE288813306E4D4636395E047A3D28", FileIdForm::WithCapitals},
      {lower.substr(0, 39) + "F", FileIdForm::WithCapitals},
      {lower.substr(0, 39), FileIdForm::None},
      {lower + "0", FileIdForm::None},
      {"", FileIdForm::None},
      // Bytes beside the digits and letters, and the ones that fold onto them.
      {lower.substr(0, 39) + "g", FileIdForm::None},
      {lower.substr(0, 39) + "G", FileIdForm::None},
      {lower.substr(0, 39) + "/", FileIdForm::None},
      {lower.substr(0, 39) + ":", FileIdForm::None},
      {lower.substr(0, 39) + "`", FileIdForm::None},
      {lower.substr(0, 39) + "@", FileIdForm::None},
      {"\x10" + lower.substr(1), FileIdForm::None},  // 0x10 | 0x20 is '0'
      {"\x41" + lower.substr(1), FileIdForm::WithCapitals},
      {"\xC1" + lower.substr(1), FileIdForm::None},
      {lower.substr(0, 20) + std::string(1, '\0') + lower.substr(21), FileIdForm::None},
      {"../" + lower.substr(3), FileIdForm::None},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileIdFormOf(c.id), c.expected) << c.id;
    EXPECT_EQ(IsFileId(c.id), c.expected != FileIdForm::None) << c.id;
  }
}

// Whatever the folder holds, the listing answers what a stat of the stored
// file's path answers: links followed, folders and odd names never present.
TEST(StoredFileListing, AnswersAsAStatOfEachStoredPath) {
  for (const auto layout : {StorageLayout::TwoCharacterFolders, StorageLayout::Flat}) {
    testsupport::TempFolder dir;
    const auto place = [&](const std::string& id) {
      const auto path = StoredFilePath(dir.path(), id, layout);
      std::filesystem::create_directories(path.parent_path());
      return path;
    };
    const auto file = [&](const std::string& id) { std::ofstream(place(id)) << "x"; };
    const std::string regular = "3d0d7e5fb2ce288813306e4d4636395e047a3d28";
    const std::string neighbour = "3d0d7e5fb2ce288813306e4d4636395e047a3d29";  // never written
    const std::string folder = "3e00000000000000000000000000000000000000";
    const std::string linkToFile = "3f00000000000000000000000000000000000000";
    const std::string brokenLink = "4000000000000000000000000000000000000000";
    const std::string linkToFolder = "4100000000000000000000000000000000000000";
    const std::string capitalsOnDisk = "42000000000000000000000000000000000000ab";
    const std::string askedInCapitals = "43000000000000000000000000000000000000CD";
    const std::string lostFolder = "ee00000000000000000000000000000000000000";
    file(regular);
    std::filesystem::create_directories(place(folder));
    std::filesystem::create_symlink(StoredFilePath(dir.path(), regular, layout), place(linkToFile));
    std::filesystem::create_symlink(dir.path() / "nowhere", place(brokenLink));
    std::filesystem::create_directory_symlink(dir.path(), place(linkToFolder));
    file("42000000000000000000000000000000000000AB");
    file(askedInCapitals);
    if (layout == StorageLayout::TwoCharacterFolders) {
      std::ofstream(dir / "ee") << "a file where a folder would be";
      // A file id in a folder other than its own is never its stored file.
      std::filesystem::create_directories(dir / "3d");
      std::ofstream(dir / "3d" / "4400000000000000000000000000000000000000") << "x";
    }
    const std::string ids[] = {regular,        neighbour,
                               folder,         linkToFile,
                               brokenLink,     linkToFolder,
                               capitalsOnDisk, askedInCapitals,
                               lostFolder,     "4400000000000000000000000000000000000000",
                               "not an id",    "../" + regular.substr(3)};
    StoredFileListing listing(dir.path(), layout);
    for (const auto& id : ids) {
      std::error_code ec;
      const auto stored = StoredFilePath(dir.path(), id, layout);
      const bool expected = !stored.empty() && std::filesystem::is_regular_file(stored, ec);
      EXPECT_EQ(listing.isRegularFile(id), expected) << id << (layout == StorageLayout::Flat ? " flat" : "");
    }
    EXPECT_TRUE(listing.isRegularFile(regular));
    EXPECT_TRUE(listing.isRegularFile(linkToFile));
    EXPECT_FALSE(listing.isRegularFile(neighbour));
  }
}

TEST(StoredFileListing, AFolderOfNoFilesAndAMissingBackupHaveNone) {
  testsupport::TempFolder dir;
  const std::string id = "3d0d7e5fb2ce288813306e4d4636395e047a3d28";
  StoredFileListing empty(dir.path(), StorageLayout::TwoCharacterFolders);
  EXPECT_FALSE(empty.isRegularFile(id));
  StoredFileListing missing(dir / "missing", StorageLayout::Flat);
  EXPECT_FALSE(missing.isRegularFile(id));
}

}  // namespace
}  // namespace fq

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/backup/FileId.h"
#include "tests/support/CliRunner.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/BackupBuilder.h"

namespace fq {
namespace {

using testsupport::CliRun;
using testsupport::RunCli;

class FilesCommand : public ::testing::TestWithParam<builder::ManifestFormat> {};

TEST_P(FilesCommand, ListsEveryEntryWithItsStoredFile) {
  builder::BackupBuilder b(GetParam());
  b.addFile("HomeDomain", "Library/Notes/notes.sqlite", std::string_view("x"));
  b.addMissingFile("MediaDomain", "Library/SMS/Attachments/gone.jpg");
  b.addFile("AppDomain-com.example.app", "Documents/\x1b[31mred.txt", std::string_view("y"));
  testsupport::TempFolder dir;
  ASSERT_TRUE(b.write(dir.path()));

  const CliRun json = RunCli({"files", dir.path().string(), "--json"});
  ASSERT_EQ(json.status, 0) << json.out;
  const auto doc = nlohmann::json::parse(json.out);
  const auto& entries = doc.at("entries");
  ASSERT_EQ(entries.size(), 3u);
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& record = b.records()[i];
    EXPECT_EQ(entries[i].at("key"), record.key());
    EXPECT_EQ(entries[i].at("fileId"), FileIdOf(record.key()));
    EXPECT_EQ(entries[i].at("storedPath"), b.storedPathOf(dir.path(), record).string());
    EXPECT_EQ(entries[i].at("exists"), record.content.has_value());
  }
  EXPECT_EQ(doc.at("manifest"), GetParam() == builder::ManifestFormat::Db ? "Manifest.db" : "Manifest.mbdb");

  const CliRun text = RunCli({"files", dir.path().string()});
  ASSERT_EQ(text.status, 0) << text.out;
  EXPECT_NE(text.out.find(FileIdOf("HomeDomain-Library/Notes/notes.sqlite") + "\tpresent\t"),
            std::string::npos);
  EXPECT_NE(text.out.find("\tmissing\tMediaDomain-Library/SMS/Attachments/gone.jpg\t"), std::string::npos);
  EXPECT_EQ(text.out.find('\x1b'), std::string::npos) << "control characters must be escaped";
}

// Folders and links have no stored content: they are never reported missing.
// Manifest.mbdb leaves its folders out altogether; Manifest.db lists them.
TEST_P(FilesCommand, ShowsFoldersAndLinksAsWhatTheyAre) {
  builder::BackupBuilder b(GetParam());
  b.addDirectory("MediaDomain", "Library/SMS");
  builder::ManifestRecord link;
  link.domain = "HomeDomain";
  link.relativePath = "Library/link";
  link.linkTarget = "/var/mobile/Library/SMS";
  link.mode = builder::kModeLink;
  link.flags = builder::kFlagsLink;
  b.addRecord(std::move(link));
  b.addFile("HomeDomain", "Library/SMS/sms.db", std::string_view("x"));
  testsupport::TempFolder dir;
  ASSERT_TRUE(b.write(dir.path()));
  const bool db = GetParam() == builder::ManifestFormat::Db;

  const CliRun text = RunCli({"files", dir.path().string()});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out.find("\tmissing\t"), std::string::npos) << text.out;
  EXPECT_EQ(text.out.find("\tfolder\tMediaDomain-Library/SMS\t") != std::string::npos, db) << text.out;
  EXPECT_NE(text.out.find("\tlink\tHomeDomain-Library/link\t"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("\tpresent\tHomeDomain-Library/SMS/sms.db\t"), std::string::npos) << text.out;

  const auto entries =
      nlohmann::json::parse(RunCli({"files", dir.path().string(), "--json"}).out).at("entries");
  std::vector<std::string> kinds;
  for (const auto& entry : entries) kinds.push_back(entry.at("kind"));
  const std::vector<std::string> expected =
      db ? std::vector<std::string>{"folder", "link", "file"} : std::vector<std::string>{"link", "file"};
  EXPECT_EQ(kinds, expected);
}

INSTANTIATE_TEST_SUITE_P(BothIndexes, FilesCommand,
                         ::testing::Values(builder::ManifestFormat::Db, builder::ManifestFormat::Mbdb),
                         [](const auto& info) {
                           return info.param == builder::ManifestFormat::Db ? "ManifestDb" : "Mbdb";
                         });

TEST(FilesCommandFailures, ExplainsAFolderWithoutAnIndexInOneLine) {
  testsupport::TempFolder dir;
  const CliRun run = RunCli({"files", dir.path().string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("has neither Manifest.db nor Manifest.mbdb"), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);

  std::FILE* f = std::fopen((dir.path() / "Manifest.mbdb").c_str(), "wb");
  std::fputs("not an index", f);
  std::fclose(f);
  const CliRun foreign = RunCli({"files", dir.path().string()});
  EXPECT_EQ(foreign.status, 1);
  EXPECT_NE(foreign.err.find("result 87"), std::string::npos) << foreign.err;
}

// The entries are listed as the index is read: a damaged index shows the
// entries before the damage, then the error, and the listing fails.
TEST(FilesCommandFailures, ADamagedIndexListsTheEntriesBeforeTheDamageThenFails) {
  builder::BackupBuilder b(builder::ManifestFormat::Db);
  for (int i = 0; i < 600; ++i) b.addMissingFile("HomeDomain", "Library/file" + std::to_string(i));
  testsupport::TempFolder dir;
  ASSERT_TRUE(b.write(dir.path()));
  const auto index = dir.path() / "Manifest.db";
  const auto size = std::filesystem::file_size(index);
  {
    std::fstream file(index, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(size / 2 / 4096 * 4096));
    const std::string garbage(size - size / 2 / 4096 * 4096, '\xA5');
    file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
  }
  const CliRun run = RunCli({"files", dir.path().string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("it has no readable Files table (result 1006)"), std::string::npos) << run.err;
  const auto lines = std::count(run.out.begin(), run.out.end(), '\n');
  EXPECT_GT(lines, 0);
  EXPECT_LT(lines, 600);
  EXPECT_EQ(run.out.rfind('\n'), run.out.size() - 1) << "only whole lines";
  EXPECT_NE(run.out.find(FileIdOf("HomeDomain-Library/file0") + "\tmissing\tHomeDomain-Library/file0\t"),
            std::string::npos);
}

}  // namespace
}  // namespace fq

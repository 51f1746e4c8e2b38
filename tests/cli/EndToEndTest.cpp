// The whole product on the demo backup, run as the user runs it: the same
// phone scanned from a plain and from an encrypted backup gives the same
// records, a wrong password is refused, and a recovery writes every category.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/CliRunner.h"
#include "tests/support/FolderSnapshot.h"
#include "tests/support/PageLinks.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/DemoBackup.h"
#include "tools/decrypt/EncryptedBackupWriter.h"

namespace fq {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using builder::ManifestFormat;
using testsupport::RunCli;

constexpr const char* kPassword = "correct horse battery";

// The demo phone's stored files as an encrypted backup of the same era.
void WriteEncryptedDemo(const fs::path& folder, ManifestFormat format) {
  const builder::BackupBuilder demo = builder::DemoBackup(format);
  std::vector<decrypt::PlainFile> files;
  for (const auto& record : demo.records()) {
    if (!record.content || !record.domain || !record.relativePath) continue;
    files.push_back(
        {*record.domain, *record.relativePath, *record.content, record.protectionClass, std::nullopt});
  }
  decrypt::EncryptedBackupOptions options;
  options.era =
      format == ManifestFormat::Db ? decrypt::BackupEra::ManifestDb : decrypt::BackupEra::ManifestMbdb;
  options.password = kPassword;
  options.productVersion = demo.device().productVersion;
  options.deviceName = demo.device().deviceName;
  std::string error;
  ASSERT_EQ(decrypt::WriteEncryptedBackup(folder, files, options, &error), 0) << error;
}

// The scan's categories without the stored-file paths, which name the
// decrypted copy for an encrypted backup.
Json CategoriesWithoutPaths(const std::string& scanJson) {
  Json categories = Json::parse(scanJson)["categories"];
  for (auto& [name, items] : categories.items()) {
    for (auto& item : items) item.erase("path");
  }
  return categories;
}

class EndToEnd : public ::testing::TestWithParam<ManifestFormat> {
 protected:
  testsupport::TempFolder scratch;
};

TEST_P(EndToEnd, AnEncryptedBackupScansLikeThePlainOneAndStaysUntouched) {
  const fs::path plain = scratch / "plain";
  const fs::path locked = scratch / "locked";
  std::string error;
  ASSERT_TRUE(builder::WriteDemoBackup(plain, GetParam(), &error)) << error;
  WriteEncryptedDemo(locked, GetParam());
  const auto before = testsupport::SnapshotFolder(locked);

  const auto plainScan = RunCli(scratch.path(), "scan '" + plain.string() + "' --json");
  ASSERT_EQ(plainScan.status, 0) << plainScan.err;
  const auto lockedScan = RunCli(scratch.path(), "scan '" + locked.string() + "' --json --password-stdin",
                                 std::string(kPassword) + "\n");
  ASSERT_EQ(lockedScan.status, 0) << lockedScan.err;

  const Json expected = CategoriesWithoutPaths(plainScan.out);
  const Json actual = CategoriesWithoutPaths(lockedScan.out);
  EXPECT_FALSE(expected["Messages"].empty());
  EXPECT_FALSE(expected["Camera Roll"].empty());
  for (const auto& [name, items] : expected.items()) EXPECT_EQ(actual[name], items) << name;
  EXPECT_EQ(testsupport::SnapshotFolder(locked), before) << "the encrypted backup was changed";
}

TEST_P(EndToEnd, AWrongPasswordIsRefusedWithItsOwnStatus) {
  const fs::path locked = scratch / "locked";
  WriteEncryptedDemo(locked, GetParam());
  const auto scan = RunCli(scratch.path(), "scan '" + locked.string() + "' --password-stdin", "not it\n");
  EXPECT_EQ(scan.status, 3) << scan.err;
  EXPECT_NE(scan.err.find("wrong backup password"), std::string::npos) << scan.err;

  const auto json =
      RunCli(scratch.path(), "scan '" + locked.string() + "' --json --password-stdin", "not it\n");
  EXPECT_EQ(json.status, 3) << json.err;
  const Json outcome = Json::parse(json.out)["outcome"];
  EXPECT_EQ(outcome["kind"], "failed");
  EXPECT_EQ(outcome["code"], -110);
  EXPECT_EQ(outcome["reason"], "wrong backup password");
}

// The one folder a recover run made inside `out`.
fs::path OnlyRunFolder(const fs::path& out) {
  std::vector<fs::path> folders;
  for (const auto& entry : fs::directory_iterator(out)) folders.push_back(entry.path());
  EXPECT_EQ(folders.size(), 1u);
  return folders.empty() ? out : folders.front();
}

TEST_P(EndToEnd, RecoverWritesEveryCategoryOfTheDemoBackup) {
  const fs::path plain = scratch / "plain";
  std::string error;
  ASSERT_TRUE(builder::WriteDemoBackup(plain, GetParam(), &error)) << error;
  const fs::path out = scratch / "recovered";
  const auto recover =
      RunCli(scratch.path(), "recover '" + plain.string() + "' --out '" + out.string() + "'");
  ASSERT_EQ(recover.status, 0) << recover.err;
  EXPECT_NE(recover.out.find("failed: 0"), std::string::npos) << recover.out;
  // Everything goes into one new folder named after the device and the time.
  const fs::path run = OnlyRunFolder(out);
  EXPECT_EQ(run.filename().string().rfind("Demo iPhone 20", 0), 0u) << run;
  EXPECT_NE(recover.out.find(run.string()), std::string::npos) << recover.out;
  for (const char* folder : {"Camera Roll", "Photo Stream", "Message", "Message Attachments", "Contacts",
                             "Notes", "App Photos", "WhatsApp Message", "WhatsApp Attachments"}) {
    EXPECT_TRUE(fs::is_directory(run / folder)) << folder;
  }
  EXPECT_TRUE(fs::is_regular_file(run / "Message" / "sms.csv"));

  // A second run never mixes with the first.
  const auto again =
      RunCli(scratch.path(), "recover '" + plain.string() + "' --out '" + out.string() + "' -q");
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_TRUE(again.err.empty()) << again.err;
  size_t runs = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(out)) ++runs;
  EXPECT_EQ(runs, 2u);

  // Category names are taken in any letter case.
  const fs::path onlyDeleted = scratch / "deleted";
  const auto deleted =
      RunCli(scratch.path(), "recover '" + plain.string() + "' --out '" + onlyDeleted.string() +
                                 "' --category messages --deleted-only");
  ASSERT_EQ(deleted.status, 0) << deleted.err;
  const fs::path deletedRun = OnlyRunFolder(onlyDeleted);
  EXPECT_FALSE(fs::exists(deletedRun / "Camera Roll"));
  EXPECT_TRUE(fs::is_directory(deletedRun / "Message"));
}

// The text of every .txt file below `folder`, joined.
std::string AllTextFiles(const fs::path& folder) {
  std::string all;
  if (!fs::is_directory(folder)) return all;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.path().extension() != ".txt") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    all += std::string(std::istreambuf_iterator<char>(in), {});
  }
  return all;
}

// --deleted-only writes every deleted message the scan found, and only those,
// whatever the first message of their conversation is.
TEST_P(EndToEnd, DeletedOnlyWritesExactlyTheDeletedMessages) {
  const fs::path plain = scratch / "plain";
  std::string error;
  ASSERT_TRUE(builder::WriteDemoBackup(plain, GetParam(), &error)) << error;
  const auto scan = RunCli(scratch.path(), "scan '" + plain.string() + "' --json");
  ASSERT_EQ(scan.status, 0) << scan.err;
  const Json categories = Json::parse(scan.out)["categories"];

  const fs::path out = scratch / "deleted";
  const auto recover = RunCli(scratch.path(), "recover '" + plain.string() + "' --out '" + out.string() +
                                                  "' --category Messages --category WhatsApp --deleted-only");
  ASSERT_EQ(recover.status, 0) << recover.err;
  const fs::path run = OnlyRunFolder(out);
  const struct {
    const char* category;
    const char* folder;
  } cases[] = {{"Messages", "Message"}, {"WhatsApp", "WhatsApp Message"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.category);
    const std::string written = AllTextFiles(run / c.folder);
    size_t deleted = 0;
    for (const auto& record : categories[c.category]) {
      const std::string text = record["text"];
      if (text.empty()) continue;
      if (record["deleted"] == 1) {
        ++deleted;
        EXPECT_NE(written.find(text), std::string::npos) << "deleted message not written: " << text;
      } else {
        EXPECT_EQ(written.find(text), std::string::npos) << "live message written: " << text;
      }
    }
    EXPECT_GT(deleted, 0u) << "the demo has deleted messages to find";
  }
}

// A message database that is missing, damaged or not a database at all is
// reported as such beside its 0, never as a phone without messages.
TEST_P(EndToEnd, ADatabaseThatWasNotReadSaysWhy) {
  const struct {
    const char* what;
    std::function<void(const fs::path&)> damage;
    const char* state;
    const char* reason;
  } cases[] = {
      {"removed", [](const fs::path& db) { fs::remove(db); }, "absent",
       "the backup holds no message database"},
      {"garbage",
       [](const fs::path& db) {
         std::ofstream(db, std::ios::binary | std::ios::trunc) << std::string(8192, 'g');
       },
       "unreadable", "is not a database this program can read"},
      {"cut inside its first page", [](const fs::path& db) { fs::resize_file(db, 1000); }, "damaged",
       "cut short inside its first page"},
      {"cut after two pages", [](const fs::path& db) { fs::resize_file(db, 2 * 4096); }, "damaged",
       "the file is cut short: 2 of its"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path plain = scratch / c.what;
    std::string error;
    ASSERT_TRUE(builder::WriteDemoBackup(plain, GetParam(), &error)) << error;
    const std::string id = "3d0d7e5fb2ce288813306e4d4636395e047a3d28";  // sms.db
    const fs::path db = GetParam() == ManifestFormat::Db ? plain / id.substr(0, 2) / id : plain / id;
    ASSERT_TRUE(fs::is_regular_file(db));
    c.damage(db);

    const auto json = RunCli(scratch.path(), "scan '" + plain.string() + "' --json -q");
    ASSERT_EQ(json.status, 0) << json.err;
    const Json status = Json::parse(json.out)["status"];
    EXPECT_EQ(status["Messages"]["state"], c.state);
    EXPECT_NE(status["Messages"]["reason"].get<std::string>().find(c.reason), std::string::npos)
        << status["Messages"]["reason"];
    EXPECT_EQ(status["Contacts"]["state"], "read");
    EXPECT_EQ(status["Camera Roll"]["state"], "read");

    const auto text = RunCli(scratch.path(), "scan '" + plain.string() + "' -q");
    EXPECT_NE(text.out.find(std::string("(") + c.state + ": "), std::string::npos) << text.out;
  }
}

// Conversation and chat pages show the files their messages carry: every link
// of every page leads to a file the run wrote, and still does once the run's
// folder has been moved.
TEST_P(EndToEnd, PagesLinkTheFilesTheirMessagesCarry) {
  const fs::path plain = scratch / "plain";
  std::string error;
  ASSERT_TRUE(builder::WriteDemoBackup(plain, GetParam(), &error)) << error;
  const fs::path out = scratch / "recovered";
  const auto recover = RunCli(scratch.path(), "recover '" + plain.string() + "' --out '" + out.string() +
                                                  "' --category Messages --category WhatsApp -q");
  ASSERT_EQ(recover.status, 0) << recover.err << recover.out;
  const fs::path moved = scratch / "moved";
  fs::rename(OnlyRunFolder(out), moved);

  const struct {
    const char* folder;
    const char* picture;  // a thumbnail the demo's pages must show
    const char* file;     // a linked file that is not a picture, or none
  } cases[] = {{"Message", "IMG_0300.JPG", nullptr},
               {"WhatsApp Message", "27a1c0de-photo.JPG", "31b2d0ef-video.MP4"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    std::set<std::string> pictures, files;
    std::string pages;
    for (const auto& entry : fs::recursive_directory_iterator(moved / c.folder)) {
      if (entry.path().extension() != ".html") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string page(std::istreambuf_iterator<char>(in), {});
      pages += page;
      for (const auto& link : test::PageLinks(page)) {
        EXPECT_TRUE(fs::is_regular_file(entry.path().parent_path() / link.target)) << link.target;
        (link.element == "img" ? pictures : files).insert(fs::path(link.target).filename().string());
      }
    }
    EXPECT_TRUE(pictures.count(c.picture)) << c.picture;
    EXPECT_TRUE(files.count(c.picture)) << "a thumbnail opens its file";
    if (c.file) {
      EXPECT_TRUE(files.count(c.file)) << c.file;
    }
    // A media message shows its file, not the path it had on the phone.
    EXPECT_EQ(pages.find("Media/15550104477@s.whatsapp.net"), std::string::npos);
  }
}

// Stored files a category leaves out are counted beside it and listed, with
// why, by --verbose and in the JSON; folders are never among them.
TEST_P(EndToEnd, FilesACategoryLeavesOutAreCountedAndListed) {
  const fs::path plain = scratch / "plain";
  std::string error;
  ASSERT_TRUE(builder::WriteDemoBackup(plain, GetParam(), &error)) << error;
  const std::string base = "MediaDomain-Library/SMS/Attachments/";
  const std::string tiny = base + "d4/04/9F8E7D6C-5B4A-4392-8170-6F5E4D3C2B1A/tiny.jpg";
  const std::string lost = base + "e5/05/1A2B3C4D-5E6F-4708-9A1B-2C3D4E5F6A7B/lost.jpg";

  const auto json = RunCli(scratch.path(), "scan '" + plain.string() + "' --json -q");
  ASSERT_EQ(json.status, 0) << json.err;
  const Json skipped = Json::parse(json.out)["skipped"];
  EXPECT_EQ(skipped, Json::parse(R"({"Messages Attachments": [{"key": ")" + tiny +
                                 R"(", "reason": "too short to recognise"}, {"key": ")" + lost +
                                 R"(", "reason": "content not in the backup"}]})"));

  const auto text = RunCli(scratch.path(), "scan '" + plain.string() + "' -q");
  ASSERT_EQ(text.status, 0) << text.err;
  const size_t line = text.out.find("Messages Attachments");
  ASSERT_NE(line, std::string::npos) << text.out;
  EXPECT_NE(text.out.substr(line, text.out.find('\n', line) - line).find("(2 skipped)"), std::string::npos)
      << text.out;
  EXPECT_EQ(text.out.find("skipped MediaDomain"), std::string::npos) << "listed only when asked";

  const auto verbose = RunCli(scratch.path(), "scan '" + plain.string() + "' -q --verbose");
  ASSERT_EQ(verbose.status, 0) << verbose.err;
  EXPECT_NE(verbose.out.find("skipped " + tiny + ": too short to recognise\n"), std::string::npos)
      << verbose.out;
  EXPECT_NE(verbose.out.find("skipped " + lost + ": content not in the backup\n"), std::string::npos);
}

// Two encrypted backups scanned side by side, as two users or two windows do:
// each run decrypts into its own work area, both answers are exact, and
// nothing of either run is left behind.
TEST(EndToEndRuns, TwoEncryptedScansAtOnceAreBothExact) {
  testsupport::TempFolder scratch;
  struct Backup {
    ManifestFormat format;
    fs::path plain, locked;
    Json expected;
  };
  std::vector<Backup> backups = {{ManifestFormat::Db, scratch / "plain-db", scratch / "locked-db", {}},
                                 {ManifestFormat::Mbdb, scratch / "plain-mbdb", scratch / "locked-mbdb", {}}};
  for (auto& b : backups) {
    std::string error;
    ASSERT_TRUE(builder::WriteDemoBackup(b.plain, b.format, &error)) << error;
    WriteEncryptedDemo(b.locked, b.format);
    const auto scan = RunCli(scratch.path(), "scan '" + b.plain.string() + "' --json -q");
    ASSERT_EQ(scan.status, 0) << scan.err;
    b.expected = CategoriesWithoutPaths(scan.out);
  }
  // The second run starts at different moments of the first: at its start, while
  // it decrypts, while it reads.
  for (const int delayMs : {0, 150, 400, 800, 1500}) {
    SCOPED_TRACE(delayMs);
    std::vector<std::future<testsupport::CliRun>> runs;
    for (size_t i = 0; i < backups.size(); ++i) {
      runs.push_back(std::async(std::launch::async, [&scratch, &b = backups[i], wait = i * delayMs] {
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        return RunCli(scratch.path(), "scan '" + b.locked.string() + "' --json -q --password-stdin",
                      std::string(kPassword) + "\n");
      }));
    }
    for (size_t i = 0; i < runs.size(); ++i) {
      const testsupport::CliRun run = runs[i].get();
      ASSERT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(CategoriesWithoutPaths(run.out), backups[i].expected) << backups[i].locked;
    }
  }
  for (const auto& entry : fs::recursive_directory_iterator(scratch.path())) {
    EXPECT_NE(entry.path().filename().string().rfind("run-", 0), 0u) << "left behind: " << entry.path();
  }
}

INSTANTIATE_TEST_SUITE_P(BothIndexes, EndToEnd, ::testing::Values(ManifestFormat::Db, ManifestFormat::Mbdb),
                         [](const auto& info) {
                           return info.param == ManifestFormat::Db ? "ManifestDb" : "Mbdb";
                         });

}  // namespace
}  // namespace fq

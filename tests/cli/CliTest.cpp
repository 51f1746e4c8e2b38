// fernquill-cli list and scan, run as the user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/session/SessionFixtures.h"
#include "tests/support/CliRunner.h"

namespace fq {
namespace {

using testsupport::ReadFile;
using testsupport::ScratchFolder;
using testsupport::WriteFile;
namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

using testsupport::CliRun;

class CliTest : public ::testing::Test {
 protected:
  // Runs fernquill-cli with its application data in the scratch folder.
  CliRun run(const std::string& args, const std::string& stdinText = "") {
    return testsupport::RunCli(scratch.path(), args, stdinText);
  }

  fs::path backup(const std::string& name, const std::string& date, const std::string& extraKeys = "") {
    const fs::path folder = scratch / "root" / name;
    WriteFile(folder / "Info.plist", "<dict>\n\t<key>Display Name</key>\n\t<string>" + name +
                                         "</string>\n\t<key>Last Backup Date</key>\n\t<date>" + date +
                                         "</date>\n" + extraKeys + "</dict>\n");
    return folder;
  }

  static std::string lastLine(const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
    const size_t nl = trimmed.rfind('\n');
    return nl == std::string::npos ? trimmed : trimmed.substr(nl + 1);
  }

  ScratchFolder scratch;
};

TEST_F(CliTest, ListPrintsHandMadeBackupsNewestFirst) {
  backup("Jan", "2019-01-05T10:00:00Z",
         "\t<key>Phone Number</key>\n\t<string>+1 555 0100</string>\n\t<key>Product Version</key>\n"
         "\t<string>12.1.4</string>\n\t<key>Serial Number</key>\n\t<string>SER1</string>\n");
  const fs::path march = backup("Mar", "2019-03-01T09:00:00Z");
  const std::string id = "31bb7ba8914766d4ba40d6dfb6113c8b614be442";
  WriteFile(march / id, "not sqlite at all");  // encrypted
  fs::create_directories(scratch / "root" / "no-info-plist");

  const CliRun list = run("list --root '" + (scratch / "root").string() + "' --json");
  ASSERT_EQ(list.status, 0) << list.err;
  const Json backups = Json::parse(list.out);
  ASSERT_EQ(backups.size(), 2u);
  EXPECT_EQ(backups[0]["display_name"], "Mar");
  EXPECT_EQ(backups[0]["encrypted"], true);
  EXPECT_EQ(backups[0]["folder"], march.string());
  const Json expected = Json::parse(R"({"display_name": "Jan", "last_backup_date": "2019-01-05 10:00:00",
      "phone_number": "+1 555 0100", "serial_number": "SER1", "encrypted": false, "newer_than_11": true,
      "folder": ")" + (scratch / "root" / "Jan").string() +
                                    "\"}");
  EXPECT_EQ(backups[1], expected);
  std::vector<std::string> keys;
  for (const auto& [key, value] : backups[1].items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"display_name", "last_backup_date", "phone_number",
                                            "serial_number", "encrypted", "newer_than_11", "folder"}));

  const CliRun text = run("list --root '" + (scratch / "root").string() + "'");
  EXPECT_EQ(text.status, 0);
  EXPECT_LT(text.out.find("Mar"), text.out.find("Jan"));
}

TEST_F(CliTest, ListWithoutRootReadsTheBackupRootOfApplicationData) {
  const CliRun empty = run("list --json");
  EXPECT_EQ(empty.status, 0) << empty.err;
  EXPECT_EQ(Json::parse(empty.out), Json::array());
  WriteFile(scratch / "xdg" / "Apple Computer" / "MobileSync" / "backup" / "abc" / "Info.plist",
            "<key>Display Name</key>\n<string>Found</string>\n");
  const CliRun one = run("list --json");
  ASSERT_EQ(one.status, 0);
  EXPECT_EQ(Json::parse(one.out)[0]["display_name"], "Found");

  const CliRun missing = run("list --root '" + (scratch / "nope").string() + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("is not a folder"), std::string::npos);
}

TEST_F(CliTest, ScanRunsTheWholeSpineOnABackupFolder) {
  const fs::path folder = backup("Phone", "2019-03-01T09:00:00Z");
  WriteFile(folder / "Manifest.mbdb", std::string("mbdb\x05\x00", 6));
  const CliRun scan = run("scan '" + folder.string() + "' --json");
  ASSERT_EQ(scan.status, 0) << scan.err;
  const Json report = Json::parse(scan.out);
  std::vector<std::string> keys;
  for (const auto& [key, value] : report.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"source", "result", "events", "outcome", "status", "skipped",
                                            "categories"}));
  EXPECT_EQ(report["source"], folder.string());
  EXPECT_EQ(report["result"], 0);
  EXPECT_EQ(report["events"], Json::parse("[[1035, 0], [1032, 0], [1034, 0]]"));
  EXPECT_EQ(report["outcome"], Json::parse(R"({"kind": "finished", "code": 0, "reason": ""})"));
  std::vector<std::string> categories;
  for (const auto& [key, value] : report["categories"].items()) {
    categories.push_back(key);
    EXPECT_TRUE(value.is_array()) << key;
  }
  EXPECT_EQ(categories,
            (std::vector<std::string>{"Camera Roll", "Photo Stream", "Messages", "Messages Attachments",
                                      "Contacts", "Call History", "Notes", "App Photos", "App Videos",
                                      "WhatsApp", "WhatsApp Attachments"}));
  // Progress went to standard error as plain lines (not a terminal here).
  EXPECT_NE(scan.err.find("scan: 98%"), std::string::npos) << scan.err;

  const CliRun summary = run("scan '" + folder.string() + "'");
  EXPECT_EQ(summary.status, 0);
  EXPECT_NE(summary.out.find("Call History"), std::string::npos);
  EXPECT_NE(summary.out.find("deleted"), std::string::npos);
}

TEST_F(CliTest, ScanFailsWithOneLineNamingTheCause) {
  const fs::path noManifest = backup("Bare", "2019-03-01T09:00:00Z");
  const fs::path locked = backup("Locked", "2019-03-01T09:00:00Z");
  WriteFile(locked / "31bb7ba8914766d4ba40d6dfb6113c8b614be442", "\x01\x02\x03\x04\x05\x06\x07");
  const struct {
    const char* what;
    std::string args;
    std::string stdinText;
    std::string message;  // the last line of standard error
  } cases[] = {
      {"no manifest", "scan '" + noManifest.string() + "'", "",
       "fernquill-cli: no Manifest.db or Manifest.mbdb in " + noManifest.string()},
      {"not a folder", "scan '" + (scratch / "missing").string() + "'", "",
       "fernquill-cli: " + (scratch / "missing").string() + " is not a folder"},
      {"encrypted without a password", "scan '" + locked.string() + "'", "",
       "fernquill-cli: " + locked.string() +
           " is an encrypted backup: give its password with --password-stdin"},
      {"an empty password line", "scan '" + locked.string() + "' --password-stdin", "\n",
       "fernquill-cli: " + locked.string() +
           " is an encrypted backup: give its password with --password-stdin"},
      {"no device attached", "scan device", "", "fernquill-cli: no device is connected"},
  };
  for (const auto& c : cases) {
    const CliRun scan = run(c.args, c.stdinText);
    EXPECT_EQ(scan.status, 1) << c.what;
    EXPECT_EQ(lastLine(scan.err), c.message) << c.what;
  }
}

TEST_F(CliTest, AFailedScanStillReportsItsEvents) {
  const fs::path folder = backup("Bare", "2019-03-01T09:00:00Z");
  const CliRun scan = run("scan '" + folder.string() + "' --json");
  EXPECT_EQ(scan.status, 1);
  const Json report = Json::parse(scan.out);
  EXPECT_EQ(report["result"], 2);
  EXPECT_EQ(report["events"], Json::parse("[[1035, 0], [1035, 3], [1034, 0]]"));
}

TEST_F(CliTest, AnEncryptedBackupWithAPasswordGoesToTheDecryptTool) {
  const fs::path locked = backup("Locked", "2019-03-01T09:00:00Z");
  WriteFile(locked / "31bb7ba8914766d4ba40d6dfb6113c8b614be442", "\x01\x02\x03\x04\x05\x06\x07");
  WriteFile(locked / "Manifest.mbdb", std::string("mbdb\x05\x00", 6));
  const CliRun scan = run("scan '" + locked.string() + "' --password-stdin", "secret\n");
  // Not decryptable here: a wrong password (3) or a failure naming its cause (1), never success.
  EXPECT_TRUE(scan.status == 1 || scan.status == 3) << scan.status;
  EXPECT_EQ(lastLine(scan.err).rfind("fernquill-cli: ", 0), 0u) << scan.err;
}

TEST_F(CliTest, VersionAndUsageErrorsAnswerAsACommandLineToolShould) {
  const struct {
    std::string args;
    int status;
    std::string inErr;  // "" for none; else a text standard error holds
    std::string inOut;
  } cases[] = {
      {"--version", 0, "", "fernquill-cli "},
      {"-V", 0, "", "fernquill-cli "},
      // A usage error names the cause and shows the usage of the verb meant.
      {"scan", 64, "SOURCE is required", ""},
      {"scan '" + scratch.path().string() + "' --no-such-flag", 64, "Usage: scan", ""},
      {"recover x --out y --category Voicemail", 64, "\"Voicemail\" is not a category; the categories are",
       ""},
      {"nosuchverb", 64, "Usage:", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const CliRun r = run(c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    if (!c.inErr.empty()) {
      EXPECT_NE(r.err.find(c.inErr), std::string::npos) << r.err;
    }
    if (!c.inOut.empty()) {
      EXPECT_NE(r.out.find(c.inOut), std::string::npos) << r.out;
    }
  }
  // Every category name is listed for the user to choose from.
  const CliRun wrong = run("recover x --out y --category Voicemail");
  for (const char* name : {"\"Camera Roll\"", "\"Messages Attachments\"", "\"WhatsApp Attachments\""}) {
    EXPECT_NE(wrong.err.find(name), std::string::npos) << name;
  }
}

TEST_F(CliTest, ListPointedAtOneBackupSaysSoAndListsIt) {
  const fs::path single = backup("Solo", "2019-03-01T09:00:00Z");
  const CliRun list = run("list --root '" + single.string() + "' --json");
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.err.find("is a backup, not a folder of backups"), std::string::npos) << list.err;
  const Json backups = Json::parse(list.out);
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(backups[0]["display_name"], "Solo");
}

// The output folder is refused before the scan when it cannot take the
// results, and nothing is ever made inside the backup being read.
TEST_F(CliTest, RecoverRefusesAnOutputFolderThatCannotServeBeforeScanning) {
  const fs::path phone = backup("Phone", "2019-03-01T09:00:00Z");
  WriteFile(phone / "Manifest.mbdb", std::string("mbdb\x05\x00", 6));
  WriteFile(scratch / "a-file", "x");
  const struct {
    fs::path out;
    std::string why;
  } cases[] = {
      {phone / "recovered", "lies inside the backup being read"},
      {phone, "lies inside the backup being read"},
      {scratch / "a-file", "is not a folder"},
      {scratch / "a-file" / "below", "cannot be made"},
      {scratch / "xdg" / "VelmoraSoftiOSRecovery" / "out", "lies inside the program's work folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out.string());
    const CliRun r = run("recover '" + phone.string() + "' --out '" + c.out.string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("scan:"), std::string::npos) << "refused only after scanning: " << r.err;
  }
  EXPECT_FALSE(fs::exists(phone / "recovered"));
}

}  // namespace
}  // namespace fq

// fernquill-cli's device commands against the simulated device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/device/SimulatedDevice.h"
#include "tests/support/CliRunner.h"
#include "tools/backupbuilder/DemoBackup.h"

namespace fq {
namespace {

using test::SimulatedDevice;
namespace fs = std::filesystem;

using testsupport::CliRun;

CliRun RunCli(const std::vector<std::string>& args, const std::string& input = {}) {
  testsupport::CliOptions options;
  options.input = input;
  return testsupport::RunCli(args, options);
}

TEST(DeviceCli, InfoShowsNameClassVersionUdidAndEncryption) {
  SimulatedDevice device({"--name", "Ada's iPhone", "--version", "13.1", "--will-encrypt"});
  ASSERT_TRUE(device.Started()) << device.Error();
  const CliRun run = RunCli({"device", "info"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Name: Ada's iPhone\nClass: iPhone\nVersion: 13.1\nUDID: " +
                         std::string(SimulatedDevice::kUdid) + "\nWill encrypt: yes\n");
}

TEST(DeviceCli, InfoWithoutDeviceFails) {
  SimulatedDevice device;
  ASSERT_TRUE(device.Started()) << device.Error();
  device.Unplug();
  const CliRun run = RunCli({"device", "info"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no device is connected"), std::string::npos);
}

TEST(DeviceCli, BackupWritesTheBackupAndKeepsIt) {
  SimulatedDevice device;
  ASSERT_TRUE(device.Started()) << device.Error();
  const fs::path out = device.Scratch() / "out";
  const CliRun run = RunCli({"device", "backup", "--out", out.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const fs::path folder = out / SimulatedDevice::kUdid;
  EXPECT_EQ(run.out, folder.string() + "\n");
  // The exit clean-up leaves a backup the user asked for alone.
  EXPECT_TRUE(fs::is_regular_file(folder / "Manifest.db"));
  EXPECT_TRUE(fs::is_regular_file(folder / "Info.plist"));
  EXPECT_TRUE(fs::is_regular_file(folder / "Status.plist"));

  // A second backup into the same folder is refused: a failure there would
  // clean away the first one.
  const CliRun again = RunCli({"device", "backup", "--out", out.string()});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("already holds a backup"), std::string::npos) << again.err;
  EXPECT_TRUE(fs::is_regular_file(folder / "Manifest.db"));
}

struct PasswordCase {
  std::vector<std::string> extra;
  std::string input;
  int status;
};

TEST(DeviceCli, EncryptedDeviceNeedsItsPassword) {
  const PasswordCase cases[] = {
      {{"--password-stdin"}, "secret\n", 0},
      {{"--password-stdin"}, "wrong\n", 3},
      {{}, "", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    SimulatedDevice device({"--will-encrypt", "--password", "secret"});
    ASSERT_TRUE(device.Started()) << device.Error();
    std::vector<std::string> args = {"device", "backup", "--out", (device.Scratch() / "out").string()};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const CliRun run = RunCli(args, c.input);
    EXPECT_EQ(run.status, c.status) << run.err;
  }
}

TEST(DeviceCli, DeviceErrorIsReportedWithItsDescription) {
  SimulatedDevice device({"--scenario", "error", "--error-code", "105", "--error-text", "Not enough space"});
  ASSERT_TRUE(device.Started()) << device.Error();
  const CliRun run = RunCli({"device", "backup", "--out", (device.Scratch() / "out").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the device reported: Not enough space"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("(-105)"), std::string::npos) << run.err;
}

TEST(DeviceCli, ScanDeviceBacksUpScansAndListsThePhone) {
  const fs::path staging = fs::temp_directory_path() / ("fq-scan-device-" + std::to_string(::getpid()));
  fs::remove_all(staging);
  std::string error;
  ASSERT_TRUE(builder::WriteDemoBackup(staging / "demo", builder::ManifestFormat::Db, &error)) << error;
  SimulatedDevice device({"--backup-dir", (staging / "demo").string()});
  ASSERT_TRUE(device.Started()) << device.Error();
  // The scan's work folders go to the test's own application data.
  ::setenv("XDG_DATA_HOME", (device.Scratch() / "xdg").c_str(), 1);
  const CliRun run = RunCli({"scan", "device", "--json"});
  ::unsetenv("XDG_DATA_HOME");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto report = nlohmann::json::parse(run.out);
  for (const char* category : {"Camera Roll", "Messages", "Contacts", "Call History", "Notes", "WhatsApp"}) {
    EXPECT_FALSE(report["categories"][category].empty()) << category;
  }
  EXPECT_EQ(report["events"].back(), nlohmann::json::parse("[1034, 0]"));
  fs::remove_all(staging);
}

// A device backup that ends early is a failure with the device's reason, never
// an empty scan that exits 0; only the user's own cancel counts as cancelled.
TEST(DeviceCli, ScanDeviceSaysWhyTheDeviceBackupEnded) {
  struct Case {
    std::vector<std::string> device;
    std::string reason;
  };
  const Case cases[] = {
      {{"--scenario", "unplug"}, "the device went away before its backup was complete"},
      {{"--scenario", "cancel"}, "the device reported: the backup was cancelled on the device"},
      {{"--scenario", "error", "--error-code", "105", "--error-text", "Not enough space"},
       "the device reported: Not enough space (code -105)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device[1]);
    SimulatedDevice device(c.device);
    ASSERT_TRUE(device.Started()) << device.Error();
    testsupport::CliOptions options;
    options.environment = {{"XDG_DATA_HOME", (device.Scratch() / "xdg").string()}};
    const CliRun json = testsupport::RunCli({"scan", "device", "--json"}, options);
    EXPECT_EQ(json.status, 1) << json.err;
    EXPECT_NE(json.err.find(c.reason), std::string::npos) << json.err;
    const auto report = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << json.out;
    EXPECT_EQ(report["outcome"]["kind"], "failed");
    EXPECT_NE(report["outcome"]["code"], 0);
    EXPECT_NE(report["outcome"]["reason"].get<std::string>().find(c.reason), std::string::npos);
  }
}

}  // namespace
}  // namespace fq

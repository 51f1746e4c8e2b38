// fernquill-cli's device commands against the simulated device.
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/device/SimulatedDevice.h"
#include "tools/backupbuilder/DemoBackup.h"

extern char** environ;

namespace fq {
namespace {

using test::SimulatedDevice;
namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs fernquill-cli with `args`, feeding `input` to its standard input;
// gives up (and kills it) after `seconds`.
CliRun RunCli(const std::vector<std::string>& args, const std::string& input = {}, int seconds = 120) {
  CliRun run;
  std::vector<std::string> argv = {std::string(FERNQUILL_BIN_DIR) + "/fernquill-cli"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);

  int in[2], out[2], err[2];
  if (::pipe(in) || ::pipe(out) || ::pipe(err)) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
    posix_spawn_file_actions_addclose(&actions, fd);
  }
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (rc != 0) return run;
  if (!input.empty()) (void)!::write(in[1], input.data(), input.size());
  ::close(in[1]);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  while (open > 0 && std::chrono::steady_clock::now() < deadline) {
    if (::poll(fds, 2, 200) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? run.out : run.err).append(buffer, static_cast<size_t>(n));
      }
    }
  }
  if (open > 0) ::kill(pid, SIGKILL);
  for (auto& p : fds) {
    if (p.fd >= 0) ::close(p.fd);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
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

}  // namespace
}  // namespace fq

// The backup driver end to end: the real libimobiledevice, libusbmuxd and
// libplist against the simulated device.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "device/CDeviceBackupDriver.h"
#include "device/DeviceDetector.h"
#include "device/QuitCounter.h"
#include "engine/sqlite/ReadOnlyDatabase.h"
#include "tests/device/SimulatedDevice.h"

namespace fq {
namespace {

using test::SimulatedDevice;
namespace fs = std::filesystem;

constexpr const char* kUdid = SimulatedDevice::kUdid;
const char* const kSmsId = "3d0d7e5fb2ce288813306e4d4636395e047a3d28";

DeviceDriverTimings FastTimings() {
  DeviceDriverTimings t;
  t.emptyPollPauseMs = 50;
  t.syncLockRetryMs = 10;
  return t;
}

// A driver with short waits whose diagnostic lines are kept for the test.
struct TestDriver {
  CDeviceBackupDriver driver;
  std::mutex mutex;
  std::string lines;

  TestDriver() {
    driver.SetTimings(FastTimings());
    driver.SetLog([this](std::string_view line) {
      std::lock_guard<std::mutex> lock(mutex);
      lines.append(line);
    });
  }
  std::string Log() {
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
  }
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Plain files directly in `folder` (what a failed backup must not leave).
std::vector<std::string> PlainFiles(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) names.push_back(it->path().filename().string());
  }
  return names;
}

std::vector<std::string> PostedNotifications(const SimulatedDevice& device) {
  std::vector<std::string> names;
  for (const auto& e : device.Events("notification")) {
    if (e.value("command", "") == "PostNotification") names.push_back(e.value("name", ""));
  }
  return names;
}

std::vector<int> LockOperations(const SimulatedDevice& device) {
  std::vector<int> ops;
  for (const auto& e : device.Events("afc")) {
    if (e.value("op", "") == "lock") ops.push_back(e.value("operation", 0));
  }
  return ops;
}

#define START_DEVICE(device) ASSERT_TRUE((device).Started()) << (device).Error()

TEST(DeviceDriver, ConnectReadsIdentityAndBacksUpIntoUdidFolder) {
  SimulatedDevice device;
  START_DEVICE(device);
  TestDriver t;
  bool willEncrypt = true;
  ASSERT_EQ(t.driver.Connect(willEncrypt), 0) << t.Log();
  EXPECT_FALSE(willEncrypt);
  EXPECT_EQ(t.driver.Udid(), kUdid);

  // Connect filled the cache: the getters answer from it with 87.
  std::string name, deviceClass, version;
  EXPECT_EQ(t.driver.GetDeviceName(name), 87);
  EXPECT_EQ(t.driver.GetDeviceClass(deviceClass), 87);
  EXPECT_EQ(t.driver.GetProductVersion(version), 87);
  EXPECT_EQ(name, "Simulated iPhone");
  EXPECT_EQ(deviceClass, "iPhone");
  EXPECT_EQ(version, "12.4");
  EXPECT_TRUE(t.driver.VersionAbove9());
  EXPECT_TRUE(t.driver.VersionAbove11());

  std::vector<int32_t> percents;
  t.driver.SetProgress(
      [&percents](int32_t p) {
        percents.push_back(p);
        return 0;
      },
      20);
  t.driver.SetMode(8);
  const fs::path root = device.Scratch() / "backup";
  ASSERT_EQ(t.driver.Backup(root, ""), 0) << t.Log();
  EXPECT_TRUE(t.driver.IsIdle());

  const fs::path folder = root / kUdid;
  EXPECT_EQ(t.driver.GetBackupFolder(), folder);
  for (const char* file : {"Info.plist", "Manifest.db", "Manifest.plist", "Status.plist"}) {
    EXPECT_TRUE(fs::is_regular_file(folder / file)) << file;
  }
  EXPECT_FALSE(fs::exists(folder / "Snapshot"));
  EXPECT_FALSE(fs::exists(folder / "Status.plist.copy"));
  EXPECT_NE(ReadFile(folder / "Status.plist").find("finished"), std::string::npos);
  const std::string info = ReadFile(folder / "Info.plist");
  EXPECT_NE(info.find("<string>Simulated iPhone</string>"), std::string::npos);
  EXPECT_NE(info.find("<key>iTunes Files</key>"), std::string::npos);
  EXPECT_NE(info.find("<key>iTunesPrefs</key>"), std::string::npos);

  // The stored message database arrived whole and opens.
  const fs::path sms = folder / std::string(kSmsId).substr(0, 2) / kSmsId;
  ReadOnlyDatabase db(sms);
  ASSERT_TRUE(db.ok());
  sqlite3_stmt* statement = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db.handle(), "SELECT count(*) FROM message", -1, &statement, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(statement, 0), 3);
  sqlite3_finalize(statement);

  // Progress stays within the share of 20, never goes down, reaches 19.
  ASSERT_FALSE(percents.empty());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(percents.back(), 19);

  // The first backup asked for a Status.plist that did not exist yet.
  const auto download = device.Statuses("download");
  ASSERT_EQ(download.size(), 1u);
  EXPECT_EQ(download[0]["code"], -13);
  EXPECT_EQ(download[0]["text"], "Multi status");
  EXPECT_EQ(download[0]["payload"][std::string(kUdid) + "/Status.plist"]["DLFileErrorCode"], -6);

  // The sync lock was taken and given back, with the notifications around it.
  EXPECT_EQ(LockOperations(device), (std::vector<int>{6, 12}));
  EXPECT_EQ(PostedNotifications(device),
            (std::vector<std::string>{
                "com.apple.itunes-mobdev.syncWillStart", "com.apple.itunes-mobdev.syncLockRequest",
                "com.apple.itunes-mobdev.syncDidStart", "com.apple.itunes-mobdev.syncDidFinish"}));
  EXPECT_NE(t.Log().find("Backup finished"), std::string::npos);

  // The cached identity outlives the connection.
  t.driver.Disconnect();
  t.driver.Disconnect();
  EXPECT_FALSE(t.driver.HasDevice());
  EXPECT_EQ(t.driver.GetDeviceName(name), 87);
  EXPECT_EQ(name, "Simulated iPhone");
}

TEST(DeviceDriver, AnotherDeviceBringsItsOwnIdentityVersionFlagsAndLayout) {
  TestDriver t;
  {
    SimulatedDevice newer({"--version", "12.4"});
    START_DEVICE(newer);
    bool willEncrypt = false;
    ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
    EXPECT_TRUE(t.driver.VersionAbove9());
    EXPECT_TRUE(t.driver.VersionAbove11());
    t.driver.Disconnect();
  }
  SimulatedDevice older({"--version", "9.3", "--name", "Old iPod", "--device-class", "iPod", "--udid",
                         "0123456789abcdef0123456789abcdef01234567"});
  START_DEVICE(older);
  bool willEncrypt = false;
  ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
  std::string name, deviceClass, version;
  t.driver.GetDeviceName(name);
  t.driver.GetDeviceClass(deviceClass);
  t.driver.GetProductVersion(version);
  EXPECT_EQ(name, "Old iPod");
  EXPECT_EQ(deviceClass, "iPod");
  EXPECT_EQ(version, "9.3");
  EXPECT_FALSE(t.driver.VersionAbove9());
  EXPECT_FALSE(t.driver.VersionAbove11());

  // Below version 10 the stored files lie directly in the device folder.
  const fs::path root = older.Scratch() / "backup";
  ASSERT_EQ(t.driver.Backup(root, ""), 0) << t.Log();
  const fs::path folder = root / "0123456789abcdef0123456789abcdef01234567";
  EXPECT_EQ(t.driver.GetBackupFolder(), folder);
  EXPECT_TRUE(fs::is_regular_file(folder / kSmsId));
}

TEST(DeviceDriver, BackupOfAGivenFolderArrivesByteForByte) {
  char pattern[] = "/tmp/fq-source-backup-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const fs::path source = pattern;
  std::string big(200000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 3);
  const std::vector<std::pair<std::string, std::string>> files = {
      {"Manifest.db", "not really a database"},
      {"Manifest.plist", "<plist/>"},
      {"ab/ab00000000000000000000000000000000000000", big},
      {"cd/cd00000000000000000000000000000000000000", ""},
  };
  for (const auto& [name, data] : files) {
    fs::create_directories((source / name).parent_path());
    std::ofstream(source / name, std::ios::binary) << data;
  }
  SimulatedDevice device({"--backup-dir", source.string()});
  START_DEVICE(device);
  TestDriver t;
  bool willEncrypt = false;
  ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
  const fs::path root = device.Scratch() / "backup";
  ASSERT_EQ(t.driver.Backup(root, ""), 0) << t.Log();
  for (const auto& [name, data] : files) {
    EXPECT_EQ(ReadFile(root / kUdid / name), data) << name;
  }
  EXPECT_TRUE(fs::is_regular_file(root / kUdid / "Status.plist"));
  std::error_code ec;
  fs::remove_all(source, ec);
}

TEST(DeviceDriver, ConnectWithoutDeviceReturnsMinusOne) {
  SimulatedDevice device;
  START_DEVICE(device);
  device.Stop();  // the socket is gone: usbmuxd lists nothing
  TestDriver t;
  bool willEncrypt = false;
  EXPECT_EQ(t.driver.Connect(willEncrypt), -1);
  EXPECT_FALSE(t.driver.HasDevice());
  EXPECT_FALSE(t.driver.IsDeviceAttached());
  EXPECT_EQ(t.driver.Backup(device.Scratch() / "backup", ""), 87);
}

TEST(DeviceDriver, DeviceErrorEndsBackupWithItsCodeAndCleansFolder) {
  SimulatedDevice device({"--scenario", "error", "--error-code", "105", "--error-text",
                          "Insufficient free disk space on drive"});
  START_DEVICE(device);
  TestDriver t;
  bool willEncrypt = false;
  ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
  const fs::path root = device.Scratch() / "backup";
  EXPECT_EQ(t.driver.Backup(root, ""), -105);
  EXPECT_EQ(t.driver.ErrorDescription(), "Insufficient free disk space on drive");
  EXPECT_TRUE(PlainFiles(root / kUdid).empty());
  EXPECT_TRUE(t.driver.IsIdle());
  // The lock is released also after a failed backup.
  EXPECT_EQ(LockOperations(device), (std::vector<int>{6, 12}));
}

TEST(DeviceDriver, UnpluggedMidTransferGivesUpAndCleansFolder) {
  // Between two files, and in the middle of one.
  for (const char* scenario : {"unplug", "unplug-mid-file"}) {
    SCOPED_TRACE(scenario);
    SimulatedDevice device({"--scenario", scenario});
    START_DEVICE(device);
    TestDriver t;
    auto timings = FastTimings();
    timings.emptyPollPauseMs = 3000;  // as shipped: the unplugging itself must end the loop
    t.driver.SetTimings(timings);
    bool willEncrypt = false;
    ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
    const fs::path root = device.Scratch() / "backup";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(t.driver.Backup(root, ""), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_GT(QuitCounter().load(), 0);
    EXPECT_TRUE(PlainFiles(root / kUdid).empty());
    EXPECT_TRUE(PlainFiles(root / kUdid / "Snapshot").empty());
    // The file whose data broke off (the second one sent) is not kept.
    if (std::string(scenario) == "unplug-mid-file") {
      EXPECT_FALSE(fs::exists(root / kUdid / "Snapshot/31/31bb7ba8914766d4ba40d6dfb6113c8b614be442"));
    }
    EXPECT_FALSE(t.driver.IsDeviceAttached());
  }
}

TEST(DeviceDriver, CancelFromTheScanStopsTheBackup) {
  SimulatedDevice device({"--scenario", "slow", "--slow-ms", "200"});
  START_DEVICE(device);
  TestDriver t;
  bool willEncrypt = false;
  ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
  int calls = 0;
  t.driver.SetProgress([&calls](int32_t) { return ++calls >= 3 ? 2 : 0; }, 20);
  const fs::path root = device.Scratch() / "backup";
  EXPECT_EQ(t.driver.Backup(root, ""), 2);
  EXPECT_TRUE(PlainFiles(root / kUdid).empty());
  EXPECT_TRUE(t.driver.IsIdle());
}

TEST(DeviceDriver, CancelRequestFromTheDeviceStopsTheBackup) {
  SimulatedDevice device({"--scenario", "cancel"});
  START_DEVICE(device);
  TestDriver t;
  bool willEncrypt = false;
  ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
  const fs::path root = device.Scratch() / "backup";
  EXPECT_EQ(t.driver.Backup(root, ""), -1);
  EXPECT_TRUE(PlainFiles(root / kUdid).empty());
}

TEST(DeviceDriver, RaisedQuitCounterStopsTheBackup) {
  SimulatedDevice device({"--scenario", "slow", "--slow-ms", "300"});
  START_DEVICE(device);
  TestDriver t;
  bool willEncrypt = false;
  ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
  // The scan's cancel (or the device page) raises the counter from another thread.
  std::thread canceller([&t] {
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    t.driver.RaiseQuit();
  });
  const fs::path root = device.Scratch() / "backup";
  const int32_t result = t.driver.Backup(root, "");
  canceller.join();
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(PlainFiles(root / kUdid).empty());
}

struct PasswordCase {
  const char* typed;
  int32_t result;
  bool willEncryptAfter;
};

TEST(DeviceDriver, TurnOffBackupEncryptionAcceptsOnlyTheDevicePassword) {
  for (const PasswordCase& c : {PasswordCase{"secret", 0, false}, PasswordCase{"wrong", -207, true}}) {
    SCOPED_TRACE(c.typed);
    SimulatedDevice device({"--will-encrypt", "--password", "secret"});
    START_DEVICE(device);
    TestDriver t;
    bool willEncrypt = false;
    ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
    EXPECT_TRUE(willEncrypt);
    EXPECT_EQ(t.driver.TurnOffBackupEncryption(c.typed), c.result);
    EXPECT_EQ(t.driver.WillEncrypt(), c.willEncryptAfter);

    const auto change = device.Events("mb2");
    ASSERT_GE(change.size(), 2u);
    EXPECT_EQ(change[1]["message"], "ChangePassword");
    EXPECT_EQ(change[1]["body"]["OldPassword"], c.typed);
    EXPECT_EQ(change[1]["body"]["TargetIdentifier"], kUdid);
    // The first loop of the connection gives the sync lock back.
    EXPECT_EQ(LockOperations(device), (std::vector<int>{6, 12}));

    // Backup runs the password change itself while encryption is still on.
    const fs::path root = device.Scratch() / "backup";
    EXPECT_EQ(t.driver.Backup(root, c.typed), c.result);
  }
}

struct LockCase {
  int busyAnswers;
  size_t lockAttempts;
  bool didStart;
};

TEST(DeviceDriver, SyncLockThatWouldBlockIsRetriedThenGoneWithout) {
  for (const LockCase& c : {LockCase{3, 4, true}, LockCase{1000, 50, false}}) {
    SCOPED_TRACE(c.busyAnswers);
    SimulatedDevice device({"--lock-busy", std::to_string(c.busyAnswers)});
    START_DEVICE(device);
    TestDriver t;
    bool willEncrypt = false;
    ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
    auto ops = LockOperations(device);
    EXPECT_EQ(ops.size(), c.lockAttempts);
    const auto posted = PostedNotifications(device);
    EXPECT_EQ(std::count(posted.begin(), posted.end(), "com.apple.itunes-mobdev.syncDidStart"),
              c.didStart ? 1 : 0);

    // The backup runs either way, and the lock file is unlocked and closed after.
    ASSERT_EQ(t.driver.Backup(device.Scratch() / "backup", ""), 0);
    ops = LockOperations(device);
    EXPECT_EQ(ops.back(), 12);
    size_t closes = 0;
    for (const auto& e : device.Events("afc")) {
      if (e.value("op", "") == "close" && e.value("path", "") == "/com.apple.itunes.lock_sync") ++closes;
    }
    EXPECT_EQ(closes, 1u);
  }
}

TEST(DeviceDriver, HostileNamesNeverReachOutsideTheBackupRoot) {
  SimulatedDevice device({"--scenario", "hostile"});
  START_DEVICE(device);
  const fs::path victim = device.Scratch() / "victim.txt";
  std::ofstream(victim) << "keep me";
  TestDriver t;
  bool willEncrypt = false;
  ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
  const fs::path root = device.Scratch() / "backup";
  ASSERT_EQ(t.driver.Backup(root, ""), 0) << t.Log();

  EXPECT_FALSE(fs::exists(device.Scratch() / "escaped.txt"));
  EXPECT_FALSE(fs::exists(device.Scratch() / "escaped2.txt"));
  EXPECT_FALSE(fs::exists("/tmp/fernquill-sim-absolute.txt"));
  EXPECT_FALSE(fs::exists(device.Scratch() / "moved.txt"));
  EXPECT_FALSE(fs::exists(device.Scratch() / "made-outside"));
  EXPECT_FALSE(fs::exists(root / kUdid / "copied.txt"));
  EXPECT_EQ(ReadFile(victim), "keep me");

  // Each refusal is reported to the device as a permission error.
  for (const char* expect : {"move-hostile", "remove-hostile", "mkdir-hostile", "copy-hostile"}) {
    const auto statuses = device.Statuses(expect);
    ASSERT_EQ(statuses.size(), 1u) << expect;
    EXPECT_EQ(statuses[0]["code"], -EACCES) << expect;
  }
  bool refusedDownload = false;
  for (const auto& e : device.Events("sent-file")) {
    if (e.value("name", "") == "../victim.txt") {
      refusedDownload = e.value("outcome", "").rfind("error:", 0) == 0 && e.value("size", -1) == 0;
    }
  }
  EXPECT_TRUE(refusedDownload);
  // The real backup after the hostile requests still landed whole.
  EXPECT_TRUE(fs::is_regular_file(root / kUdid / "Manifest.db"));
  EXPECT_NE(t.Log().find("Error opening"), std::string::npos);
}

TEST(DeviceDriver, SymlinkInsideTheRootIsNotFollowedOut) {
  SimulatedDevice device;
  START_DEVICE(device);
  const fs::path root = device.Scratch() / "backup";
  const fs::path outside = device.Scratch() / "outside";
  fs::create_directories(root / kUdid);
  fs::create_directories(outside);
  fs::create_directory_symlink(outside, root / kUdid / "Snapshot");
  TestDriver t;
  bool willEncrypt = false;
  ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
  t.driver.Backup(root, "");
  EXPECT_TRUE(fs::is_empty(outside));
}

// The library waits about 30 s for a message before it reports nothing; the
// probe rules themselves are tested with scripted messages.
TEST(DeviceDriver, SilentDeviceThatFailsItsProbesIsGivenUp) {
  SimulatedDevice device({"--scenario", "silent", "--silent-seconds", "60", "--probe-fails"});
  START_DEVICE(device);
  TestDriver t;
  auto timings = FastTimings();
  timings.maxFailedProbes = 0;  // the first failed probe ends the loop
  t.driver.SetTimings(timings);
  bool willEncrypt = false;
  ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
  const fs::path root = device.Scratch() / "backup";
  EXPECT_EQ(t.driver.Backup(root, ""), -1);
  EXPECT_TRUE(PlainFiles(root / kUdid).empty());
}

struct RestoreCase {
  const char* what;
  std::vector<std::string> arguments;
  bool unplug;
  int32_t result;
  bool encryptsAfter;
};

// Encryption switched off for a scan is switched on again with the same
// password, over a connection of its own; a device that refuses or is gone
// says so, and either way the switch is forgotten.
TEST(DeviceDriver, RestoreBackupEncryptionSwitchesItBackOnWithThePassword) {
  const std::vector<RestoreCase> cases = {
      {"on again", {}, false, 0, true},
      {"refused", {"--refuse-encryption"}, false, -208, false},
      {"gone", {}, true, -1, false},
  };
  for (const RestoreCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> arguments = {"--will-encrypt", "--password", "secret"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    SimulatedDevice device(arguments);
    START_DEVICE(device);
    TestDriver t;
    bool willEncrypt = false;
    ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
    EXPECT_FALSE(t.driver.EncryptionSwitchedOff());
    ASSERT_EQ(t.driver.TurnOffBackupEncryption("secret"), 0);
    EXPECT_TRUE(t.driver.EncryptionSwitchedOff());
    t.driver.Disconnect();  // what the page does after a scan
    EXPECT_TRUE(t.driver.EncryptionSwitchedOff());
    if (c.unplug) device.Unplug();

    EXPECT_EQ(t.driver.RestoreBackupEncryption("secret"), c.result) << t.Log();
    EXPECT_FALSE(t.driver.EncryptionSwitchedOff());
    std::vector<nlohmann::json> asked;
    for (const auto& e : device.Events("mb2")) {
      if (e["message"] == "ChangePassword" && e["body"].contains("NewPassword")) asked.push_back(e);
    }
    if (c.unplug) {
      EXPECT_TRUE(asked.empty());
      continue;
    }
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0]["body"]["NewPassword"], "secret");
    EXPECT_FALSE(asked[0]["body"].contains("OldPassword"));
    EXPECT_EQ(asked[0]["body"]["TargetIdentifier"], kUdid);
    // A new connection reads what the device now does.
    t.driver.Disconnect();
    ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
    EXPECT_EQ(willEncrypt, c.encryptsAfter);
  }
}

TEST(DeviceDriver, RestoreWithoutASwitchSendsNothing) {
  SimulatedDevice device({"--will-encrypt"});
  START_DEVICE(device);
  TestDriver t;
  bool willEncrypt = false;
  ASSERT_EQ(t.driver.Connect(willEncrypt), 0);
  EXPECT_NE(t.driver.TurnOffBackupEncryption("wrong"), 0);
  EXPECT_EQ(t.driver.RestoreBackupEncryption("wrong"), 0);
  for (const auto& e : device.Events("mb2")) EXPECT_FALSE(e["body"].contains("NewPassword"));
}

// A scan paused inside the backup keeps the driver busy; a tick that found
// the device gone waits for it, and that wait ends at once on RequestStop.
TEST(DeviceDetection, TickWaitingForAPausedBackupEndsOnStop) {
  SimulatedDevice device({"--scenario", "slow", "--slow-ms", "100"});
  START_DEVICE(device);
  TestDriver t;
  DeviceDetector detector(t.driver, IsDeviceServiceReachable, 10);
  ASSERT_EQ(detector.Tick(), DevicePanel::Connected);

  std::mutex pause;
  std::unique_lock<std::mutex> paused(pause);
  std::atomic<bool> reported{false};
  t.driver.SetProgress(
      [&](int32_t) {
        reported = true;
        std::lock_guard<std::mutex> wait(pause);  // held by the "UI" while paused
        return 0;
      },
      20);
  std::thread scan([&] { t.driver.Backup(device.Scratch() / "backup", ""); });
  while (!reported) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  device.Unplug();

  std::atomic<bool> ticked{false};
  std::thread tick([&] {
    detector.Tick();
    ticked = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(ticked);  // still waiting for the paused backup
  detector.RequestStop();
  tick.join();
  EXPECT_EQ(detector.Panel(), DevicePanel::Connected);  // left as it was
  EXPECT_FALSE(t.driver.IsIdle());
  paused.unlock();  // resume: the backup sees its device gone and ends
  scan.join();
  EXPECT_TRUE(t.driver.IsIdle());
}

TEST(DeviceDetection, TickConnectsShowsTheDeviceAndFollowsUnplugging) {
  SimulatedDevice device;
  START_DEVICE(device);
  TestDriver t;
  DeviceDetector detector(t.driver, IsDeviceServiceReachable, 10);
  EXPECT_EQ(detector.CheckSoftware(), DevicePanel::NoConnection);
  EXPECT_EQ(detector.Tick(), DevicePanel::Connected);
  EXPECT_EQ(detector.DeviceText(), "Simulated iPhone(iPhone 12.4)");
  EXPECT_FALSE(detector.WillEncrypt());

  // While the device stays, a tick does not connect again.
  const auto sessions = [&device] {
    size_t n = 0;
    for (const auto& e : device.Events("lockdown")) n += e.value("request", "") == "StartSession";
    return n;
  };
  const size_t before = sessions();
  EXPECT_EQ(detector.Tick(), DevicePanel::Connected);
  EXPECT_EQ(sessions(), before);

  // Unplugged: the next tick cannot connect.
  device.Unplug();
  EXPECT_EQ(detector.Tick(), DevicePanel::NoConnection);
  device.Replug();
  EXPECT_EQ(detector.Tick(), DevicePanel::Connected);

  // The device service itself gone: panel 0.
  device.Stop();
  EXPECT_FALSE(IsDeviceServiceReachable());
  EXPECT_EQ(detector.Tick(), DevicePanel::SoftwareMissing);
}

// usbmuxd away for a tick while the connection stands: once it answers again
// the connection is made anew (the phone behind it may be another one) and
// the page shows it, not panel 0. A Retry in between does not hide it either.
TEST(DeviceDetection, ServiceBackAfterAGapConnectsAnew) {
  SimulatedDevice device;
  START_DEVICE(device);
  TestDriver t;
  bool serviceAnswers = true;
  DeviceDetector detector(
      t.driver, [&serviceAnswers] { return serviceAnswers && IsDeviceServiceReachable(); }, 10);
  const auto sessions = [&device] {
    size_t n = 0;
    for (const auto& e : device.Events("lockdown")) n += e.value("request", "") == "StartSession";
    return n;
  };
  ASSERT_EQ(detector.Tick(), DevicePanel::Connected);
  serviceAnswers = false;
  EXPECT_EQ(detector.Tick(), DevicePanel::SoftwareMissing);
  serviceAnswers = true;
  const size_t before = sessions();
  EXPECT_EQ(detector.Tick(), DevicePanel::Connected);
  EXPECT_GT(sessions(), before);
  EXPECT_EQ(detector.CheckSoftware(), DevicePanel::NoConnection);
  EXPECT_EQ(detector.Tick(), DevicePanel::Connected);
  EXPECT_EQ(detector.DeviceText(), "Simulated iPhone(iPhone 12.4)");
}

TEST(DeviceDetection, UntrustedDeviceIsTriedAgainOnlyAfterReplugging) {
  SimulatedDevice device({"--untrusted"});
  START_DEVICE(device);
  TestDriver t;
  bool willEncrypt = false;
  const int32_t rc = t.driver.Connect(willEncrypt);
  EXPECT_NE(rc, 0);
  EXPECT_NE(rc, -1);  // the library's own code, not "no device"
  EXPECT_TRUE(t.driver.HasDevice());

  DeviceDetector detector(t.driver, IsDeviceServiceReachable, 10);
  const auto sessions = [&device] {
    size_t n = 0;
    for (const auto& e : device.Events("lockdown")) n += e.value("request", "") == "StartSession";
    return n;
  };
  const size_t before = sessions();
  EXPECT_EQ(detector.Tick(), DevicePanel::NoConnection);
  EXPECT_EQ(sessions(), before);  // the held handle keeps the page waiting
  device.Unplug();
  EXPECT_EQ(detector.Tick(), DevicePanel::NoConnection);  // a tick sees it gone
  EXPECT_FALSE(t.driver.HasDevice());
  device.Replug();
  EXPECT_EQ(detector.Tick(), DevicePanel::NoConnection);
  EXPECT_GT(sessions(), before);  // plugged in anew: tried again
}

TEST(DeviceDetection, DeviceTextLeavesOutTheSpaceWithoutVersion) {
  EXPECT_EQ(FormatDeviceText("My Phone", "iPhone", "9.3"), "My Phone(iPhone 9.3)");
  EXPECT_EQ(FormatDeviceText("My Phone", "iPhone", ""), "My Phone(iPhone)");
}

}  // namespace
}  // namespace fq

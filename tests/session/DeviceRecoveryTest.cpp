#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/WellKnownDatabases.h"
#include "engine/session/CDeviceRecovery.h"
#include "engine/session/EventRecorder.h"
#include "engine/session/RecoveryFactory.h"
#include "engine/session/ScanSession.h"
#include "tests/session/SessionFixtures.h"

namespace fq {
namespace {

using testsupport::FakeDriver;
using testsupport::ReadFile;
using testsupport::ScratchFolder;
using testsupport::WriteFile;
namespace fs = std::filesystem;

constexpr uint64_t kGiB = 1024ULL * 1024 * 1024;

class DeviceRecoveryTest : public ::testing::Test {
 protected:
  DeviceRecoveryTest()
      : folders(scratch / "appdata",
                DriveSource{[](const fs::path&) -> std::optional<uint64_t> { return 100 * kGiB; }, nullptr}) {
    driver.storedFiles = {
        {std::string(wellknown::kAddressBook), "contacts"},
        {std::string(wellknown::kSms), "messages"},
        {std::string(wellknown::kNotes), "notes"},
        {std::string(wellknown::kCallHistoryOld), "old calls"},  // only the older call history
        {std::string(wellknown::kWhatsAppShared), "shared chats"},
        {std::string(wellknown::kWhatsAppDocuments), "documents chats"},
    };
  }

  ScratchFolder scratch;
  WorkFolders folders;
  FakeDriver driver;
};

TEST_F(DeviceRecoveryTest, OpenBacksUpAndCopiesTheFiveDatabases) {
  for (const bool above9 : {true, false}) {
    driver.above9 = above9;
    CDeviceRecovery device(folders, driver);
    std::vector<int32_t> reports;
    device.SetProgressCallback([&](int32_t p) {
      reports.push_back(p);
      return 0;
    });
    ASSERT_EQ(device.Open("pw"), kOk) << above9;
    EXPECT_EQ(reports, (std::vector<int32_t>{1, 20}));
    EXPECT_EQ(driver.backupTarget, folders.TempBackupFolder());
    EXPECT_EQ(driver.mode, 8);
    EXPECT_EQ(driver.share, 20);
    EXPECT_EQ(driver.password, "pw");
    EXPECT_EQ(device.layoutFlag(), above9);
    EXPECT_EQ(device.backupFolder(), folders.TempBackupFolder() / driver.udid);
    EXPECT_EQ(ReadFile(device.DatabaseCopy("AddressBook")), "contacts");
    EXPECT_EQ(ReadFile(device.DatabaseCopy("sms")), "messages");
    EXPECT_EQ(ReadFile(device.DatabaseCopy("notes")), "notes");
    EXPECT_EQ(ReadFile(device.DatabaseCopy("history")), "old calls");
    EXPECT_EQ(ReadFile(device.DatabaseCopy("ChatStorage")), "shared chats");
  }
}

TEST_F(DeviceRecoveryTest, OpenPassesTheDriversFailureOn) {
  for (const int32_t code : {kDeviceGaveUp, kCancelled, -3}) {
    driver.backupResult = code;
    CDeviceRecovery device(folders, driver);
    EXPECT_EQ(device.Open(""), code);
    EXPECT_EQ(device.backupFolder(), "");
  }
}

TEST_F(DeviceRecoveryTest, ACancelledFirstReportEndsOpenBeforeTheBackup) {
  CDeviceRecovery device(folders, driver);
  device.SetProgressCallback([](int32_t) { return kCancelled; });
  EXPECT_EQ(device.Open(""), kCancelled);
  EXPECT_EQ(driver.backupTarget, "");
}

TEST_F(DeviceRecoveryTest, NoDriveWithRoomFailsWithoutBackingUp) {
  WorkFolders full(scratch / "appdata2",
                   DriveSource{[](const fs::path&) -> std::optional<uint64_t> { return 0; },
                               []() -> std::optional<std::vector<Volume>> { return std::vector<Volume>{}; }});
  CDeviceRecovery device(full, driver);
  EXPECT_EQ(device.Open(""), kInvalid);
  EXPECT_EQ(driver.backupTarget, "");
}

TEST_F(DeviceRecoveryTest, DestroyingCleansTheCopiesAndTheFreshBackup) {
  fs::path backup;
  {
    CDeviceRecovery device(folders, driver);
    ASSERT_EQ(device.Open(""), kOk);
    backup = device.backupFolder();
    EXPECT_TRUE(fs::exists(backup / "Info.plist"));
  }
  const fs::path temp = folders.TempBackupFolder();
  for (const char* copy : {"AddressBook", "sms", "notes", "history", "ChatStorage"}) {
    EXPECT_FALSE(fs::exists(temp / copy)) << copy;
  }
  EXPECT_TRUE(fs::is_directory(backup));
  EXPECT_TRUE(fs::is_empty(backup));
}

TEST_F(DeviceRecoveryTest, AMisbehavingDriverCannotMakeTheCleanUpDeleteElsewhere) {
  const fs::path users = scratch / "Pictures";
  WriteFile(users / "holiday.jpg", "precious");
  driver.reportFolder = users;
  {
    CDeviceRecovery device(folders, driver);
    ASSERT_EQ(device.Open(""), kOk);
  }
  EXPECT_EQ(ReadFile(users / "holiday.jpg"), "precious");
}

TEST_F(DeviceRecoveryTest, AWholeDeviceScanIsCappedAt99) {
  class PercentView : public IScanView {
   public:
    void percentChanged(int32_t percent, const ScanResults&) override { percents.push_back(percent); }
    std::vector<int32_t> percents;
  } view;
  EventRecorder events;
  ScanSession session(events, &view);
  session.setFirstReportPause(std::chrono::milliseconds(0));
  BackupStore store(folders, "");
  ASSERT_TRUE(session.Start(CreateRecovery(kSourceDevice, store, folders, &driver), "pw"));
  session.Wait();
  // The fake backup has no manifest: the manifest walks find nothing and the
  // last of them answers 87, which does not stop the scan.
  EXPECT_EQ(session.result(), kInvalid);
  // 1 (shown as 2), 20, photos +20 (40), messages +5 (with the reader's own
  // stages), attachments +10 (55), contacts, calls, notes +5 each (70), app
  // files +20 (90), WhatsApp +10 and its attachments +10: capped at 99.
  for (const int32_t point : {2, 20, 40, 55, 60, 65, 70, 90, 99}) {
    EXPECT_NE(std::find(view.percents.begin(), view.percents.end(), point), view.percents.end()) << point;
  }
  EXPECT_TRUE(std::is_sorted(view.percents.begin(), view.percents.end()));
  EXPECT_EQ(view.percents.back(), 99);
}

TEST(RecoveryFactory, BuildsTheObjectOfTheSourceKind) {
  ScratchFolder scratch;
  WorkFolders folders(
      scratch / "appdata",
      DriveSource{[](const fs::path&) -> std::optional<uint64_t> { return 100 * kGiB; }, nullptr});
  BackupStore store(folders, "");
  FakeDriver driver;
  auto device = CreateRecovery(kSourceDevice, store, folders, &driver);
  ASSERT_NE(device, nullptr);
  EXPECT_FALSE(device->Reserved3(nullptr));
  auto local = CreateRecovery(kSourceBackup, store, folders, nullptr);
  ASSERT_NE(local, nullptr);
  EXPECT_TRUE(local->Reserved3(nullptr));
  EXPECT_EQ(CreateRecovery(kSourceDevice, store, folders, nullptr), nullptr);
  EXPECT_EQ(CreateRecovery(7, store, folders, &driver), nullptr);
  EXPECT_EQ(local->ScanQQ(), 0);
  EXPECT_EQ(local->Reserved20(), 0);
}

}  // namespace
}  // namespace fq

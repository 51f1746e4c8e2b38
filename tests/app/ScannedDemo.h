#pragma once
// The demo backup written into a temporary folder and scanned by a ScanSession,
// as the scan page would, with every item ticked (or the categories asked for).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "engine/session/AppFileSplit.h"
#include "engine/session/BackupStore.h"
#include "engine/session/EventRecorder.h"
#include "engine/session/RecoveryFactory.h"
#include "engine/session/ScanSession.h"
#include "engine/session/WorkFolders.h"
#include "output/Selection.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/DemoBackup.h"

namespace fq::app::test {

inline DriveSource RoomyDrive() {
  DriveSource drives;
  drives.freeBytesOf = [](const std::filesystem::path&) {
    return std::optional<uint64_t>(uint64_t{1} << 40);
  };
  drives.listVolumes = [] { return std::optional<std::vector<Volume>>(std::vector<Volume>{}); };
  return drives;
}

struct ScannedDemo {
  testsupport::TempFolder temp{"fq-demo-scan"};
  std::filesystem::path backup = temp.path() / "root" / "demo-udid";
  std::unique_ptr<WorkFolders> folders;
  std::unique_ptr<BackupStore> store;
  EventRecorder events;
  std::unique_ptr<ScanSession> session;
  AppFolderMap appPhotos, appVideos;
  CStatisticsObj statistics;

  // False (with a test failure) when the backup could not be written or scanned.
  bool scan(const RecoveryRequest& request = {}) {
    std::string error;
    if (!builder::WriteDemoBackup(backup, builder::ManifestFormat::Db, &error)) {
      ADD_FAILURE() << error;
      return false;
    }
    folders = std::make_unique<WorkFolders>(temp.path() / "appdata", RoomyDrive());
    store = std::make_unique<BackupStore>(*folders, temp.path() / "root");
    BackupInfo info;
    info.folder = backup;
    info.displayName = "Demo iPhone";
    store->SelectBackup(info);
    session = std::make_unique<ScanSession>(events);
    session->setFirstReportPause(std::chrono::milliseconds(0));
    if (!session->Start(CreateRecovery(kSourceBackup, *store, *folders, nullptr), "")) return false;
    session->Wait();
    EXPECT_EQ(session->outcome().kind, ScanOutcomeKind::Finished);
    select(request);
    return session->outcome().kind == ScanOutcomeKind::Finished;
  }

  void select(const RecoveryRequest& request) {
    const auto apps = SplitAppFiles(session->results().appFiles);
    appPhotos = apps.photos;
    appVideos = apps.videos;
    SelectForRecovery(session->results(), appPhotos, appVideos, request, statistics);
  }

  const ScanResults& results() const { return session->results(); }
  IPhoneRecoveryParse& recovery() const { return *session->recovery(); }
};

}  // namespace fq::app::test

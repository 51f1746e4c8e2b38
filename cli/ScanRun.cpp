#include "cli/ScanRun.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "cli/DeviceConnection.h"
#include "cli/InterruptSignal.h"
#include "cli/PasswordInput.h"
#include "device/CDeviceBackupDriver.h"
#include "device/QuitCounter.h"
#include "engine/ResultCodes.h"
#include "engine/backup/BackupDiscovery.h"
#include "engine/platform/AppDataFolder.h"
#include "engine/platform/Folders.h"
#include "engine/session/RecoveryFactory.h"

namespace fq::cli {
namespace {

// The backup as the list would show it; a folder without Info.plist is still
// scanned, with what its files tell.
BackupInfo DescribeSource(const std::filesystem::path& folder) {
  BackupInfo info;
  if (ReadBackupFolder(folder, info) != kOk) {
    info = BackupInfo{};
    info.folder = folder;
    info.encrypted = IsEncrypted(folder);
  }
  return info;
}

}  // namespace

ScanRun::~ScanRun() {
  m_session.reset();
  if (m_device) CDeviceBackupDriver::Instance().Disconnect();
}

int ScanRun::Fail(std::string why) {
  m_failure = std::move(why);
  return 1;
}

int ScanRun::Run(const ScanRequest& request) {
  m_quiet = request.quiet;
  m_folders = std::make_unique<WorkFolders>(RoamingAppDataFolder());
  if (m_folders->workFolder().empty()) return Fail("no application-data folder: set HOME or XDG_DATA_HOME");
  if (request.source == "device") return RunOnDevice(request);
  return RunOnBackupFolder(request);
}

int ScanRun::RunOnBackupFolder(const ScanRequest& request) {
  std::filesystem::path folder = request.source;
  if (!IsFolder(folder)) return Fail(request.source + " is not a folder");
  std::error_code ec;
  folder = std::filesystem::absolute(folder, ec).lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();  // "/backup/" names "/backup"

  m_backup = DescribeSource(folder);
  m_deviceName = m_backup.displayName;
  std::string password;
  if (m_backup.encrypted) {
    const auto given = ReadBackupPassword(request.passwordStdin);
    if (!given || given->empty()) {
      return Fail(folder.string() + " is an encrypted backup: give its password with --password-stdin");
    }
    password = *given;
  }

  m_store = std::make_unique<BackupStore>(*m_folders, BackupRoot(m_folders->appDataFolder()));
  m_store->SelectBackup(m_backup);
  const int status = RunSession(CreateRecovery(kSourceBackup, *m_store, *m_folders, nullptr), password);
  if (status == 3) m_failure = "wrong backup password for " + folder.string();
  return status;
}

int ScanRun::RunOnDevice(const ScanRequest& request) {
  auto& driver = CDeviceBackupDriver::Instance();
  bool willEncrypt = false;
  std::string why;
  if (!ConnectDriver(driver, willEncrypt, why)) return Fail(why);
  m_device = true;
  driver.GetDeviceName(m_deviceName);
  std::string password;
  if (willEncrypt) {
    const auto given = ReadBackupPassword(request.passwordStdin);
    if (!given || given->empty()) {
      return Fail("the device encrypts its backups: give its backup password with --password-stdin");
    }
    password = *given;
  }
  m_store = std::make_unique<BackupStore>(*m_folders, BackupRoot(m_folders->appDataFolder()));
  return RunSession(CreateRecovery(kSourceDevice, *m_store, *m_folders, &driver), password);
}

int ScanRun::RunSession(std::unique_ptr<IPhoneRecoveryParse> recovery, const std::string& password) {
  m_progress = std::make_unique<ProgressLine>(m_quiet ? nullptr : stderr, ::isatty(STDERR_FILENO) == 1);
  m_session = std::make_unique<ScanSession>(m_events, m_progress.get());
  m_session->setFirstReportPause(std::chrono::milliseconds(0));
  m_session->setQuitRequest([] { QuitCounter().fetch_add(1); });
  {
    InterruptSignal interrupt;
    if (!m_session->Start(std::move(recovery), password)) return Fail("the scan could not be started");
    while (!m_session->finished()) {
      if (interrupt.waitFor(std::chrono::milliseconds(50))) m_session->Cancel();
    }
    m_session->Wait();
  }
  m_progress->finish();

  const ScanOutcome& outcome = m_session->outcome();
  switch (outcome.kind) {
    case ScanOutcomeKind::Finished:
      return 0;
    case ScanOutcomeKind::Cancelled:
      m_failure = "scan cancelled";
      return 2;
    case ScanOutcomeKind::Failed:
      m_failure = outcome.reason;
      return outcome.code == kWrongPassword ? 3 : 1;
  }
  return 1;
}

}  // namespace fq::cli

#pragma once
// One scan for the scan and recover commands: checks the source (a backup
// folder or "device"), gets the password, builds the recovery object, shows
// progress on stderr, turns Ctrl-C into a cancel, and keeps everything the
// recovery job needs afterwards (the records and the recovery object).
#include <memory>
#include <string>
#include <vector>

#include "cli/ProgressLine.h"
#include "engine/backup/BackupInfo.h"
#include "engine/session/BackupStore.h"
#include "engine/session/EventRecorder.h"
#include "engine/session/ScanSession.h"
#include "engine/session/WorkFolders.h"

namespace fq::cli {

struct ScanRequest {
  std::string source;          // a backup folder, or "device"
  bool passwordStdin = false;  // else a prompt on the terminal when one is needed
  bool quiet = false;          // no progress lines
};

class ScanRun {
 public:
  ScanRun() = default;
  ~ScanRun();
  ScanRun(const ScanRun&) = delete;
  ScanRun& operator=(const ScanRun&) = delete;

  // Runs the scan to its end. The exit status: 0 done, 2 cancelled, 3 wrong
  // backup password, 1 any other failure; failure() then says why in one line.
  int Run(const ScanRequest& request);

  // Whether the scan thread ran (its events and records can be reported).
  bool ran() const { return m_session != nullptr; }
  const std::string& failure() const { return m_failure; }
  int32_t result() const { return m_session ? m_session->result() : 0; }
  std::vector<EventRecorder::Event> events() const { return m_events.events(); }
  const ScanOutcome& outcome() const { return m_session->outcome(); }
  const ScanResults& results() const { return m_session->results(); }
  IPhoneRecoveryParse* recovery() const { return m_session ? m_session->recovery() : nullptr; }
  // The name reports are titled with: the device's, or the backup's display name.
  const std::string& deviceName() const { return m_deviceName; }
  const BackupInfo& backup() const { return m_backup; }
  bool fromDevice() const { return m_device; }

 private:
  int RunOnBackupFolder(const ScanRequest& request);
  int RunOnDevice(const ScanRequest& request);
  int RunSession(std::unique_ptr<IPhoneRecoveryParse> recovery, const std::string& password);
  int Fail(std::string why);

  // Destroyed in reverse: the session (and its recovery object) before the store.
  std::unique_ptr<WorkFolders> m_folders;
  std::unique_ptr<BackupStore> m_store;
  EventRecorder m_events;
  std::unique_ptr<ProgressLine> m_progress;
  std::unique_ptr<ScanSession> m_session;
  BackupInfo m_backup;
  std::string m_deviceName;
  std::string m_failure;
  bool m_device = false;
  bool m_quiet = false;
};

}  // namespace fq::cli

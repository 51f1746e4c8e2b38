#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/InterruptSignal.h"
#include "cli/ProgressLine.h"
#include "cli/ScanJson.h"
#include "cli/ScanSummary.h"
#include "cli/TerminalText.h"
#include "device/QuitCounter.h"
#include "engine/ResultCodes.h"
#include "engine/backup/BackupDiscovery.h"
#include "engine/backup/BackupStore.h"
#include "engine/platform/AppDataFolder.h"
#include "engine/platform/Folders.h"
#include "engine/session/EventRecorder.h"
#include "engine/session/RecoveryFactory.h"
#include "engine/session/ScanSession.h"
#include "engine/session/WorkFolders.h"

namespace fq::cli {
namespace {

struct ScanOptions {
  std::string source;
  bool json = false;
  bool passwordStdin = false;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "fernquill-cli: %s\n", message.c_str());
  return 1;
}

bool Posted(const std::vector<EventRecorder::Event>& events, uint32_t message, uintptr_t wParam) {
  for (const auto& e : events)
    if (e.first == message && e.second == wParam) return true;
  return false;
}

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

void PrintSummary(const BackupInfo& backup, const ScanResults& results) {
  const std::string name = backup.displayName.empty() ? backup.folder.string() : backup.displayName;
  std::printf("%s\n", TerminalText(name).c_str());
  for (const auto& count : CountCategories(results)) {
    std::printf("  %-22s %6zu live %6zu deleted\n", count.name.c_str(), count.live, count.deleted);
  }
}

int RunScan(const ScanOptions& options) {
  if (options.source == "device") return Fail("scanning a connected device is not available in this build yet");
  std::filesystem::path folder = options.source;
  if (!IsFolder(folder)) return Fail(options.source + " is not a folder");
  std::error_code ec;
  folder = std::filesystem::absolute(folder, ec).lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();  // "/backup/" names "/backup"

  std::string password;
  if (options.passwordStdin) {
    std::getline(std::cin, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
  }
  const BackupInfo backup = DescribeSource(folder);
  if (backup.encrypted && password.empty()) {
    return Fail(folder.string() + " is an encrypted backup: give its password with --password-stdin");
  }

  WorkFolders folders(RoamingAppDataFolder());
  if (folders.workFolder().empty()) return Fail("no application-data folder: set HOME or XDG_DATA_HOME");
  BackupStore store(folders, BackupRoot(folders.appDataFolder()));
  store.SelectBackup(backup);

  EventRecorder events;
  ProgressLine progress(stderr, ::isatty(STDERR_FILENO) == 1);
  ScanSession session(events, &progress);
  session.setFirstReportPause(std::chrono::milliseconds(0));
  session.setQuitRequest([] { QuitCounter().fetch_add(1); });
  {
    InterruptSignal interrupt;
    if (!session.Start(CreateRecovery(kSourceBackup, store, folders, nullptr), password)) {
      return Fail("the scan could not be started");
    }
    while (!session.finished()) {
      if (interrupt.waitFor(std::chrono::milliseconds(50))) session.Cancel();
    }
    session.Wait();
  }
  progress.finish();

  const auto posted = events.events();
  const int32_t result = session.result();
  if (options.json) {
    const auto report = ScanJson(options.source, result, posted, session.results());
    std::printf("%s\n", report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  }

  if (result == kWrongPassword) {
    std::fprintf(stderr, "fernquill-cli: wrong backup password for %s\n", folder.c_str());
    return 3;
  }
  if (Posted(posted, kMsgScanEvent, kScanEventFailed)) {
    const std::string why = store.openFailure().empty()
                                ? "the backup could not be opened (code " + std::to_string(result) + ")"
                                : store.openFailure();
    return Fail(why);
  }
  // A 2 without Ctrl-C is a reader's ENOENT, not a cancel.
  if (session.cancelRequested()) {
    std::fprintf(stderr, "fernquill-cli: scan cancelled\n");
    return 2;
  }
  if (!options.json) PrintSummary(backup, session.results());
  return 0;
}

}  // namespace

void AddScanCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<ScanOptions>();
  auto* cmd = app.add_subcommand("scan", "Scan a backup folder and list what it holds");
  cmd->add_option("SOURCE", options->source, "A backup folder")->required();
  cmd->add_flag("--json", options->json, "Print the records of every category as one JSON document");
  cmd->add_flag("--password-stdin", options->passwordStdin,
                "Read the password of an encrypted backup from the first line of standard input");
  cmd->callback([options, &exitStatus] { exitStatus = RunScan(*options); });
}

}  // namespace fq::cli

#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/InterruptSignal.h"
#include "cli/ScanRun.h"
#include "engine/platform/AppDataFolder.h"
#include "engine/platform/ProgramFolder.h"
#include "engine/platform/Text.h"
#include "engine/session/AppFileSplit.h"
#include "engine/session/CleanUp.h"
#include "engine/session/ScanCategory.h"
#include "engine/session/WorkFolders.h"
#include "output/CStatisticsObj.h"
#include "output/OutputNames.h"
#include "output/RecoveryJob.h"
#include "output/RecoverySummary.h"
#include "output/ReportTemplates.h"
#include "output/Selection.h"

namespace fq::cli {
namespace {

struct RecoverOptions {
  ScanRequest request;
  std::string out;
  std::vector<std::string> categories;
  bool deletedOnly = false;
};

int Fail(const std::string& why, int status = 1) {
  std::fprintf(stderr, "fernquill-cli: %s\n", why.c_str());
  return status;
}

// The category names as the scan spells them, whatever case they were typed in.
bool CanonicalCategoryNames(const std::vector<std::string>& typed, std::vector<std::string>& names,
                            std::string& unknown) {
  names.clear();
  for (const auto& name : typed) {
    bool found = false;
    for (const ScanCategory category : kScanCategories) {
      if (CompareNoCase(CategoryName(category), name) == 0) {
        names.emplace_back(CategoryName(category));
        found = true;
        break;
      }
    }
    if (!found) {
      unknown = name;
      return false;
    }
  }
  return true;
}

std::string CategoryList() {
  std::string list;
  for (const ScanCategory category : kScanCategories) {
    if (!list.empty()) list += ", ";
    list += "\"" + std::string(CategoryName(category)) + "\"";
  }
  return list;
}

// The output folder is checked before the scan, so that a long scan never ends
// in a folder that cannot take its results. Empty when it will do; else why not.
std::string CheckOutputFolder(const std::filesystem::path& out, const std::string& source) {
  std::error_code ec;
  // Where it lies is checked first: nothing is made inside a backup.
  if (source != "device") {
    const auto backup = std::filesystem::absolute(source, ec).lexically_normal();
    if (IsInsideFolder(out, backup) || std::filesystem::equivalent(out, backup, ec)) {
      return out.string() + " lies inside the backup being read: backups are only ever read";
    }
  }
  // What the program keeps in its own folders is deleted by later clean-ups.
  const WorkFolders folders(RoamingAppDataFolder());
  const auto work = folders.workFolder();
  if (!work.empty() && (IsInsideFolder(out, work) || std::filesystem::equivalent(out, work, ec))) {
    return out.string() + " lies inside the program's work folder, which later runs empty";
  }
  for (const auto& part : std::filesystem::weakly_canonical(out, ec)) {
    if (part == kTempBackupFolderName) {
      return out.string() + " lies inside the temporary backup folder, which later runs empty";
    }
  }
  if (!std::filesystem::exists(out, ec)) {
    std::filesystem::create_directories(out, ec);
    if (ec) return out.string() + " cannot be made: " + ec.message();
  }
  if (!std::filesystem::is_directory(out, ec)) return out.string() + " is not a folder";
  if (::access(out.c_str(), W_OK | X_OK) != 0)
    return out.string() + " cannot be written: " + std::strerror(errno);
  return {};
}

// Makes a new folder for this run inside `out`, "<device name> <YYYY-MM-DD
// HH.MM.SS>", with " (2)", " (3)", ... when a run of the same second has it.
// Empty when none could be made; `ec` then says why.
std::filesystem::path MakeRunFolder(const std::filesystem::path& out, const std::string& deviceName,
                                    std::error_code& ec) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H.%M.%S", &local);
  const std::string name =
      SafeFileName(deviceName.empty() ? std::string("Backup") : deviceName) + " " + stamp;
  for (int n = 1; n < 1000; ++n) {
    const auto folder = out / (n == 1 ? name : name + " (" + std::to_string(n) + ")");
    if (std::filesystem::create_directory(folder, ec)) return folder;
    if (ec) return {};
  }
  ec = std::make_error_code(std::errc::file_exists);
  return {};
}

int RunRecover(const RecoverOptions& options) {
  RecoveryRequest selection;
  selection.deletedOnly = options.deletedOnly;
  std::vector<std::string> names;
  std::string unknown;
  if (!CanonicalCategoryNames(options.categories, names, unknown) ||
      !ParseCategoryNames(names, selection.categories, unknown)) {
    return Fail("\"" + unknown + "\" is not a category; the categories are " + CategoryList(), kExitUsage);
  }
  std::error_code ec;
  const auto outputRoot = std::filesystem::absolute(options.out, ec).lexically_normal();
  if (ec || options.out.empty()) return Fail("no output folder given", kExitUsage);
  if (const std::string why = CheckOutputFolder(outputRoot, options.request.source); !why.empty())
    return Fail(why);

  ScanRun run;
  if (const int status = run.Run(options.request); status != 0) {
    std::fprintf(stderr, "fernquill-cli: %s\n", run.failure().c_str());
    return status;
  }

  // The scan's passing peaks (lists growing, files probed ahead) left free
  // memory spread through the heap; handing it back before the recovery
  // keeps the recovery's own allocations from adding to what is still held.
  malloc_trim(0);

  // The report templates are read before anything is written, so a broken
  // installation fails at once instead of after the file copies.
  ReportTemplates templates;
  std::string failedTemplate;
  if (LoadReportTemplates(ProgramFolder() / "template", run.deviceName(), templates, &failedTemplate) != 0) {
    return Fail("the report template " + failedTemplate + " could not be read");
  }

  const ScanResults& results = run.results();
  const AppFileSplit apps = SplitAppFiles(results.appFiles);
  CStatisticsObj statistics;
  SelectForRecovery(results, apps.photos, apps.videos, selection, statistics);

  const std::filesystem::path runFolder = MakeRunFolder(outputRoot, run.deviceName(), ec);
  if (runFolder.empty())
    return Fail("no folder for this run can be made in " + outputRoot.string() + ": " + ec.message());
  RecoveryJob job(runFolder, results, statistics, *run.recovery(), templates);
  RecoverySource source;
  source.deviceName = run.deviceName();
  source.serialNumber = run.backup().serialNumber;
  source.backupDate = run.backup().lastBackupDate;
  source.encrypted = run.backup().encrypted;
  source.device = run.fromDevice();
  source.program = std::string("fernquill-cli ") + FERNQUILL_VERSION;
  job.SetSource(std::move(source));
  const bool terminal = !options.request.quiet && ::isatty(STDERR_FILENO) == 1;
  {
    InterruptSignal interrupt;
    job.Start();
    while (!job.IsFinished()) {
      if (interrupt.waitFor(std::chrono::milliseconds(100))) job.Cancel();
      if (terminal) std::fputs(FormatProgressLine(job.Progress()).c_str(), stderr);
    }
    job.Join();
  }
  if (terminal) std::fputs("\n", stderr);

  const RecoveryProgress progress = job.Progress();
  std::printf("%s", FormatRecoverySummary(progress, job.FailedRows(), job.OutputRoot()).c_str());
  if (std::error_code exists; std::filesystem::is_regular_file(runFolder / "index.html", exists)) {
    std::printf("Index page: %s\n", (runFolder / "index.html").c_str());
  }
  // What the scan could not read is repeated here: its 0 is not the phone's.
  for (const auto& [category, status] : results.status) {
    std::printf("Warning: %s %s: %s\n", std::string(CategoryName(category)).c_str(),
                std::string(CategoryStateName(status.state)).c_str(), status.reason.c_str());
  }
  for (const auto& [category, files] : results.skipped) {
    std::printf("Note: %s left out %zu stored files (\"scan --verbose\" lists them with why)\n",
                std::string(CategoryName(category)).c_str(), files.size());
  }
  if (progress.cancelled) return 2;
  return progress.failed == 0 && progress.otherFailures == 0 ? 0 : 1;
}

}  // namespace

void AddRecoverCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<RecoverOptions>();
  auto* cmd = app.add_subcommand("recover", "Scan and write the chosen items into a dated folder");
  cmd->add_option("SOURCE", options->request.source,
                  "A backup folder, or \"device\" for the connected device")
      ->required();
  cmd->add_option("--out", options->out,
                  "The folder that receives a new folder for this run, named after the device and the time")
      ->required();
  cmd->add_option("--category", options->categories,
                  "Recover only this category (repeatable, any letter case): " + CategoryList())
      ->allow_extra_args(false);
  cmd->add_flag("--deleted-only", options->deletedOnly,
                "Recover only records deleted on the phone (the CSV table dumps stay whole tables)");
  cmd->add_flag("-q,--quiet", options->request.quiet, "Print no progress lines");
  cmd->add_flag("--password-stdin", options->request.passwordStdin,
                "Read the backup password from standard input (else it is asked for on the terminal)");
  cmd->callback([options, &exitStatus] { exitStatus = RunRecover(*options); });
}

}  // namespace fq::cli

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/InterruptSignal.h"
#include "cli/ScanRun.h"
#include "engine/platform/ProgramFolder.h"
#include "engine/session/AppFileSplit.h"
#include "output/CStatisticsObj.h"
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

int Fail(const std::string& why) {
  std::fprintf(stderr, "fernquill-cli: %s\n", why.c_str());
  return 1;
}

int RunRecover(const RecoverOptions& options) {
  RecoveryRequest selection;
  selection.deletedOnly = options.deletedOnly;
  std::string unknown;
  if (!ParseCategoryNames(options.categories, selection.categories, unknown)) {
    return Fail("\"" + unknown + "\" is not a category");
  }
  std::error_code ec;
  const auto outputRoot = std::filesystem::absolute(options.out, ec).lexically_normal();
  if (ec || options.out.empty()) return Fail("no output folder given");

  ScanRun run;
  if (const int status = run.Run(options.request); status != 0) {
    std::fprintf(stderr, "fernquill-cli: %s\n", run.failure().c_str());
    return status;
  }

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

  RecoveryJob job(outputRoot, results, statistics, *run.recovery(), templates);
  const bool terminal = ::isatty(STDERR_FILENO) == 1;
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
  std::printf("%s", FormatRecoverySummary(progress, job.Rows(), job.OutputRoot()).c_str());
  if (progress.cancelled) return 2;
  return progress.failed == 0 ? 0 : 1;
}

}  // namespace

void AddRecoverCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<RecoverOptions>();
  auto* cmd = app.add_subcommand("recover", "Scan and write the chosen items into a dated folder");
  cmd->add_option("SOURCE", options->request.source, "A backup folder, or \"device\" for the connected device")
      ->required();
  cmd->add_option("--out", options->out, "The folder the dated recovery folder is written into")->required();
  cmd->add_option("--category", options->categories,
                  "Recover only this category (repeatable): \"Camera Roll\", \"Messages\", \"Contacts\", ...")
      ->allow_extra_args(false);
  cmd->add_flag("--deleted-only", options->deletedOnly, "Recover only records deleted on the phone");
  cmd->add_flag("--password-stdin", options->request.passwordStdin,
                "Read the backup password from standard input (else it is asked for on the terminal)");
  cmd->callback([options, &exitStatus] { exitStatus = RunRecover(*options); });
}

}  // namespace fq::cli

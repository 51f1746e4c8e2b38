#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/ScanJson.h"
#include "cli/ScanRun.h"
#include "cli/ScanSummary.h"
#include "cli/TerminalText.h"

namespace fq::cli {
namespace {

struct ScanOptions {
  ScanRequest request;
  bool json = false;
  bool verbose = false;
};

void PrintSummary(const std::string& title, const ScanResults& results, bool verbose) {
  std::printf("%s\n", TerminalText(title).c_str());
  for (const auto& count : CountCategories(results)) {
    std::printf("  %-22s %6zu live %6zu deleted", count.name.c_str(), count.live, count.deleted);
    // A count of a database that was not read whole must not pass for the phone's own.
    if (count.status.state != CategoryState::Read) {
      std::printf("  (%s: %s)", std::string(CategoryStateName(count.status.state)).c_str(),
                  TerminalText(count.status.reason).c_str());
    }
    if (count.skipped != 0) std::printf("  (%zu skipped)", count.skipped);
    std::printf("\n");
    if (!verbose || count.skipped == 0) continue;
    for (const SkippedFile& file : results.skipped.at(count.category)) {
      std::printf("      skipped %s: %s\n", TerminalText(file.key).c_str(),
                  std::string(SkipReasonText(file.reason)).c_str());
    }
  }
}

int RunScan(const ScanOptions& options) {
  ScanRun run;
  const int status = run.Run(options.request);
  if (options.json && run.ran()) {
    std::fflush(stdout);
    WriteScanJson(std::cout, options.request.source, run.result(), run.events(), run.outcome(),
                  run.results());
    std::cout.flush();
  }
  if (status != 0) {
    std::fprintf(stderr, "fernquill-cli: %s\n", run.failure().c_str());
    return status;
  }
  if (!options.json) {
    const std::string title = run.deviceName().empty() ? options.request.source : run.deviceName();
    PrintSummary(title, run.results(), options.verbose);
  }
  return 0;
}

}  // namespace

void AddScanCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<ScanOptions>();
  auto* cmd = app.add_subcommand("scan", "Scan a backup folder (or \"device\") and list what it holds");
  cmd->add_option("SOURCE", options->request.source,
                  "A backup folder, or \"device\" for the connected device")
      ->required();
  cmd->add_flag("--json", options->json, "Print the records of every category as one JSON document");
  cmd->add_flag("-q,--quiet", options->request.quiet, "Print no progress lines");
  cmd->add_flag("-v,--verbose", options->verbose,
                "List the stored files a category left out (content missing, too short, not recognised)");
  cmd->add_flag("--password-stdin", options->request.passwordStdin,
                "Read the backup password from standard input (else it is asked for on the terminal)");
  cmd->callback([options, &exitStatus] { exitStatus = RunScan(*options); });
}

}  // namespace fq::cli

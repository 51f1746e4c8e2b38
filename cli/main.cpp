// fernquill-cli: the command-line front end on the recovery engine.
#include <cstdio>
#include <string>

#include "cli/Commands.h"

int main(int argc, char** argv) {
  CLI::App app{"Fernquill: find and recover the data of iPhone, iPad and iPod touch backups"};
  app.require_subcommand(1);
  app.set_version_flag("-V,--version", std::string("fernquill-cli ") + FERNQUILL_VERSION);
  int exitStatus = 0;
  fq::cli::AddListCommand(app, exitStatus);
  fq::cli::AddScanCommand(app, exitStatus);
  fq::cli::AddFilesCommand(app, exitStatus);
  fq::cli::AddSqliteCommand(app, exitStatus);
  fq::cli::AddRecoverCommand(app, exitStatus);
  fq::cli::AddDeviceCommand(app, exitStatus);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end here too, successfully.
    if (e.get_exit_code() == 0) return app.exit(e);
    // Otherwise the cause, then the usage of the verb that was meant.
    std::fprintf(stderr, "fernquill-cli: %s\n\n", e.what());
    const auto chosen = app.get_subcommands();
    const CLI::App* verb = chosen.empty() ? &app : chosen.back();
    std::fputs(verb->help().c_str(), stderr);
    return fq::cli::kExitUsage;
  }
  return exitStatus;
}

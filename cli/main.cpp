// fernquill-cli: the command-line front end on the recovery engine.
#include <cstdio>

#include "cli/Commands.h"

int main(int argc, char** argv) {
  CLI::App app{"Fernquill: find and recover the data of iPhone, iPad and iPod touch backups"};
  app.require_subcommand(1);
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
    const int status = app.exit(e);
    return status == 0 ? 0 : 1;
  }
  return exitStatus;
}

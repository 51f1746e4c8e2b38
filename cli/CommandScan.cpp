#include <cstdio>

#include "cli/Commands.h"

namespace fq::cli {

void AddScanCommand(CLI::App& app, int& exitStatus) {
  auto* cmd = app.add_subcommand("scan", "Scan a backup folder and list what it holds");
  cmd->allow_extras();
  cmd->callback([&exitStatus] {
    std::fprintf(stderr, "fernquill-cli: 'scan' is not available in this build yet\n");
    exitStatus = 1;
  });
}

}  // namespace fq::cli

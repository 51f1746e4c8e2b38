#include <cstdio>

#include "cli/Commands.h"

namespace fq::cli {

void AddListCommand(CLI::App& app, int& exitStatus) {
  auto* cmd = app.add_subcommand("list", "List the backups of the backup root, newest first");
  cmd->allow_extras();
  cmd->callback([&exitStatus] {
    std::fprintf(stderr, "fernquill-cli: 'list' is not available in this build yet\n");
    exitStatus = 1;
  });
}

}  // namespace fq::cli

#include <cstdio>

#include "cli/Commands.h"

namespace fq::cli {

void AddRecoverCommand(CLI::App& app, int& exitStatus) {
  auto* cmd = app.add_subcommand("recover", "Scan and write the chosen items into a dated folder");
  cmd->allow_extras();
  cmd->callback([&exitStatus] {
    std::fprintf(stderr, "fernquill-cli: 'recover' is not available in this build yet\n");
    exitStatus = 1;
  });
}

}  // namespace fq::cli

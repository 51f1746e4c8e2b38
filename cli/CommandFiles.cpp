#include <cstdio>

#include "cli/Commands.h"

namespace fq::cli {

void AddFilesCommand(CLI::App& app, int& exitStatus) {
  auto* cmd = app.add_subcommand("files", "List every manifest entry of a backup");
  cmd->allow_extras();
  cmd->callback([&exitStatus] {
    std::fprintf(stderr, "fernquill-cli: 'files' is not available in this build yet\n");
    exitStatus = 1;
  });
}

}  // namespace fq::cli

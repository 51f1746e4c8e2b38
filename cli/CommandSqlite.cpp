#include <cstdio>

#include "cli/Commands.h"

namespace fq::cli {

void AddSqliteCommand(CLI::App& app, int& exitStatus) {
  auto* cmd = app.add_subcommand("sqlite", "Read live and deleted rows of any SQLite file");
  cmd->allow_extras();
  cmd->callback([&exitStatus] {
    std::fprintf(stderr, "fernquill-cli: 'sqlite' is not available in this build yet\n");
    exitStatus = 1;
  });
}

}  // namespace fq::cli

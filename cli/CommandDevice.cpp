#include <cstdio>

#include "cli/Commands.h"

namespace fq::cli {

void AddDeviceCommand(CLI::App& app, int& exitStatus) {
  auto* cmd = app.add_subcommand("device", "Work with a USB-connected device");
  cmd->allow_extras();
  cmd->callback([&exitStatus] {
    std::fprintf(stderr, "fernquill-cli: 'device' is not available in this build yet\n");
    exitStatus = 1;
  });
}

}  // namespace fq::cli

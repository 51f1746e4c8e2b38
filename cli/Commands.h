#pragma once
// The subcommands of fernquill-cli, one file each. A command's callback sets
// the process exit status: 0 done, 2 cancelled, 3 wrong backup password,
// 64 a usage error, 1 any other failure (with a one-line message on stderr).
#include <CLI/CLI.hpp>

namespace fq::cli {

// Wrong words on the command line (the usual sysexits value; 2 means cancelled here).
inline constexpr int kExitUsage = 64;

void AddListCommand(CLI::App& app, int& exitStatus);
void AddScanCommand(CLI::App& app, int& exitStatus);
void AddFilesCommand(CLI::App& app, int& exitStatus);
void AddSqliteCommand(CLI::App& app, int& exitStatus);
void AddRecoverCommand(CLI::App& app, int& exitStatus);
void AddDeviceCommand(CLI::App& app, int& exitStatus);

}  // namespace fq::cli

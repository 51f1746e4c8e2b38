#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/TerminalText.h"
#include "engine/ResultCodes.h"
#include "engine/backup/BackupDiscovery.h"
#include "engine/platform/AppDataFolder.h"
#include "engine/platform/Folders.h"

namespace fq::cli {
namespace {

struct ListOptions {
  std::string root;
  bool json = false;
};

int RunList(const ListOptions& options) {
  std::filesystem::path root = options.root;
  if (root.empty()) {
    root = BackupRoot(RoamingAppDataFolder());
  } else if (!IsFolder(root)) {
    std::fprintf(stderr, "fernquill-cli: %s is not a folder\n", options.root.c_str());
    return 1;
  }
  std::vector<BackupInfo> backups;
  ListBackups(ListBackupFolders(root), backups);
  // A backup folder itself, where a folder of backups was expected: say so and list it.
  BackupInfo single;
  if (backups.empty() && !options.root.empty() && ReadBackupFolder(root, single) == kOk) {
    std::fprintf(stderr, "fernquill-cli: %s is a backup, not a folder of backups; listing it alone\n",
                 TerminalText(root.string()).c_str());
    backups.push_back(single);
  }

  if (options.json) {
    auto list = nlohmann::ordered_json::array();
    for (const auto& backup : backups) {
      list.push_back({
          {"display_name", backup.displayName},
          {"last_backup_date", backup.lastBackupDate},
          {"phone_number", backup.phoneNumber},
          {"serial_number", backup.serialNumber},
          {"encrypted", backup.encrypted},
          {"newer_than_11", backup.newerThan11},
          {"folder", backup.folder.string()},
      });
    }
    // Phone and serial numbers keep the file's bytes; damaged UTF-8 shows as U+FFFD.
    std::printf("%s\n", list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return 0;
  }
  if (backups.empty()) {
    std::printf("No backups in %s\n", root.c_str());
    return 0;
  }
  for (const auto& backup : backups) {
    const auto orDash = [](const std::string& text) {
      return text.empty() ? std::string("-") : TerminalText(text);
    };
    std::printf("%s  %s%s\n", TerminalText(backup.lastBackupDate).c_str(),
                TerminalText(backup.displayName).c_str(), backup.encrypted ? "  (encrypted)" : "");
    std::printf("    phone %s, serial %s\n", orDash(backup.phoneNumber).c_str(),
                orDash(backup.serialNumber).c_str());
    std::printf("    %s\n", TerminalText(backup.folder.string()).c_str());
  }
  return 0;
}

}  // namespace

void AddListCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<ListOptions>();
  auto* cmd = app.add_subcommand("list", "List the backups of the backup root, newest first");
  cmd->add_option("--root", options->root, "Folder whose backups to list (default: the backup root)");
  cmd->add_flag("--json", options->json, "Print a JSON array");
  cmd->callback([options, &exitStatus] { exitStatus = RunList(*options); });
}

}  // namespace fq::cli

#include "app/StartFolder.h"

#include <system_error>

#include "engine/backup/BackupDiscovery.h"

namespace fq::app {

std::filesystem::path ChooseBackupRoot(const std::filesystem::path& given, std::filesystem::path fallback) {
  std::error_code ec;
  if (given.empty() || !std::filesystem::is_directory(given, ec)) return fallback;
  auto folder = std::filesystem::absolute(given, ec).lexically_normal();
  if (ec) return fallback;
  if (!folder.has_filename()) folder = folder.parent_path();  // "/backups/x/" names "/backups/x"
  BackupInfo info;
  if (ReadBackupFolder(folder, info) == 0) return folder.parent_path();
  return folder;
}

}  // namespace fq::app

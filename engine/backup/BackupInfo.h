#pragma once
// One backup as the backup list shows it, read from its Info.plist.
#include <filesystem>
#include <string>

namespace fq {

struct BackupInfo {
  bool encrypted = false;
  bool newerThan11 = false;      // the product version's major number is above 11
  std::string lastBackupDate;    // local "YYYY-MM-DD HH:MM:SS", or the raw text
  std::string phoneNumber;       // bytes as stored
  std::string serialNumber;      // bytes as stored
  std::filesystem::path folder;  // the backup folder, no trailing separator
  std::string displayName;       // UTF-8 (damaged bytes shown as U+FFFD)
  bool operator==(const BackupInfo&) const = default;
};

}  // namespace fq

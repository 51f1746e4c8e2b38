#pragma once
// Finding the backups on this computer and reading each one's Info.plist.
// An XML Info.plist is read line by line for a few keys, as the sync software
// writes it (each value on the line after its key); a binary one is parsed.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/backup/BackupInfo.h"

namespace fq {

// <application data>/Apple Computer/MobileSync/backup
std::filesystem::path BackupRoot(const std::filesystem::path& appDataFolder);

// The entries of the backup root whose names do not begin with ".", in the
// order the file system lists them (not checked to be folders).
std::vector<std::filesystem::path> ListBackupFolders(const std::filesystem::path& backupRoot);

// Appends one record per folder whose Info.plist opens, then sorts newest
// first (stable: equal dates keep the folder order). Returns 0.
int32_t ListBackups(const std::vector<std::filesystem::path>& backupFolders, std::vector<BackupInfo>& list);

// Reads one folder into `info` (emptied first). 0, or 87 with `info`
// untouched when the folder's Info.plist cannot be opened.
int32_t ReadBackupFolder(const std::filesystem::path& folder, BackupInfo& info);

// Reads the keys of an open XML Info.plist into `info` (fields not found are
// left as they are; the folder and encrypted flag are not touched).
void ReadInfoPlistLines(std::FILE* file, BackupInfo& info);

// The same for an Info.plist of either form, told apart by its first bytes.
void ReadInfoPlist(std::FILE* file, BackupInfo& info);

// True when the backup's address book does not start with the SQLite header.
bool IsEncrypted(const std::filesystem::path& folder);

// A UTC time "YYYY-MM-DD HH:MM:SS" as local time in the same form (daylight
// saving of that instant included); empty when the text does not parse.
std::string ConvertBackupDate(std::string_view utcText);

}  // namespace fq

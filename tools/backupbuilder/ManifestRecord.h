#pragma once
// One stored file, directory or link as a backup's manifest lists it, with
// the content the builder writes for it.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fq::builder {

inline constexpr uint16_t kModeFile = 0x81A4;       // regular file, rw-r--r--
inline constexpr uint16_t kModeDirectory = 0x41ED;  // directory, rwxr-xr-x
inline constexpr uint16_t kModeLink = 0xA1ED;       // symbolic link

inline constexpr int32_t kFlagsFile = 1;  // Files.flags of Manifest.db
inline constexpr int32_t kFlagsDirectory = 2;
inline constexpr int32_t kFlagsLink = 4;

// 2019-03-22 05:26:43 UTC: every builder-made time, so backups are byte-identical.
inline constexpr uint32_t kFixedTime = 1553232403;

struct ManifestRecord {
  // An absent value is written as the 0xFFFF string of Manifest.mbdb, or as
  // NULL in Manifest.db.
  std::optional<std::string> domain;
  std::optional<std::string> relativePath;
  std::optional<std::string> linkTarget;
  std::optional<std::string> dataHash;
  std::optional<std::string> encryptionKey;
  uint16_t mode = kModeFile;
  int32_t flags = kFlagsFile;
  uint64_t inode = 0;
  uint32_t userId = 501;
  uint32_t groupId = 501;
  uint32_t modified = kFixedTime;
  uint32_t accessed = kFixedTime;
  uint32_t created = kFixedTime;
  uint8_t protectionClass = 4;
  std::vector<std::pair<std::string, std::string>> properties;
  // The content stored under the file id; none for directories and for files
  // whose content is missing from the backup.
  std::optional<std::vector<uint8_t>> content;
  // Manifest.db only: a fileID other than the SHA-1 of the key (hostile
  // manifests). Manifest.mbdb has no id column.
  std::optional<std::string> fileIdOverride;

  // Domain, "-", relative path; the domain alone when the path is absent.
  std::string key() const;
  // The file id the content is stored under.
  std::string fileId() const;
};

}  // namespace fq::builder

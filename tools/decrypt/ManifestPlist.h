#pragma once
// What the decrypt tool needs from a backup's Manifest.plist: the keybag, the
// wrapped key of Manifest.db (iOS 10.2 and later) and the encrypted flag.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fq::decrypt {

struct ManifestPlist {
  std::vector<uint8_t> backupKeyBag;
  std::optional<std::vector<uint8_t>> manifestKey;  // 4-byte class + wrapped key
  bool isEncrypted = false;
};

// Empty with `error` set when the file cannot be read or is not a property
// list dictionary with a BackupKeyBag.
std::optional<ManifestPlist> ParseManifestPlist(std::span<const uint8_t> bytes, std::string& error);
std::optional<ManifestPlist> ReadManifestPlist(const std::filesystem::path& path, std::string& error);

// A small file read whole, refused above `limit` bytes.
bool ReadSmallFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes, uint64_t limit);

}  // namespace fq::decrypt

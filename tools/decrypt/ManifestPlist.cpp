#include "tools/decrypt/ManifestPlist.h"

#include <fstream>
#include <system_error>

#include "tools/decrypt/PlistHandle.h"

namespace fq::decrypt {
namespace {

std::optional<std::vector<uint8_t>> dataItem(plist_t dict, const char* key) {
  plist_t node = plist_dict_get_item(dict, key);
  if (node == nullptr || plist_get_node_type(node) != PLIST_DATA) return std::nullopt;
  uint64_t length = 0;
  const auto* bytes = reinterpret_cast<const uint8_t*>(plist_get_data_ptr(node, &length));
  if (bytes == nullptr) return std::vector<uint8_t>{};
  return std::vector<uint8_t>(bytes, bytes + length);
}

}  // namespace

bool ReadSmallFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes, uint64_t limit) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > limit) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.resize(static_cast<size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  return static_cast<uint64_t>(in.gcount()) == size;
}

std::optional<ManifestPlist> ParseManifestPlist(std::span<const uint8_t> bytes, std::string& error) {
  const PlistHandle root = ParsePlist(bytes);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT) {
    error = "Manifest.plist is not a property list";
    return std::nullopt;
  }
  ManifestPlist manifest;
  auto keybag = dataItem(root.get(), "BackupKeyBag");
  if (!keybag || keybag->empty()) {
    error = "Manifest.plist has no BackupKeyBag";
    return std::nullopt;
  }
  manifest.backupKeyBag = std::move(*keybag);
  manifest.manifestKey = dataItem(root.get(), "ManifestKey");
  plist_t encrypted = plist_dict_get_item(root.get(), "IsEncrypted");
  if (encrypted != nullptr && plist_get_node_type(encrypted) == PLIST_BOOLEAN) {
    uint8_t v = 0;
    plist_get_bool_val(encrypted, &v);
    manifest.isEncrypted = v != 0;
  }
  return manifest;
}

std::optional<ManifestPlist> ReadManifestPlist(const std::filesystem::path& path, std::string& error) {
  std::vector<uint8_t> bytes;
  // Manifest.plist carries application icons; real ones stay well below this.
  if (!ReadSmallFile(path, bytes, 256ull << 20)) {
    error = "cannot read Manifest.plist";
    return std::nullopt;
  }
  return ParseManifestPlist(bytes, error);
}

}  // namespace fq::decrypt

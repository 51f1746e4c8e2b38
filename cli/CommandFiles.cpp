#include <cstdio>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cli/Commands.h"
#include "engine/backup/ManifestOfFolder.h"
#include "engine/backup/StoredFilePath.h"

namespace fq::cli {
namespace {

// Manifest keys are bytes from the backup: control characters are shown
// escaped so that a hostile key cannot drive the terminal.
std::string Printable(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

// Names of the regular files in each folder that stored files may lie in,
// read once a folder: one directory listing instead of a stat per entry.
class StoredFilePresence {
 public:
  bool isPresent(const std::filesystem::path& stored) {
    if (stored.empty()) return false;
    const auto [listing, fresh] = m_folders.try_emplace(stored.parent_path().native());
    if (fresh) listing->second = RegularFileNames(stored.parent_path());
    return listing->second.contains(stored.filename().native());
  }

 private:
  static std::unordered_set<std::string> RegularFileNames(const std::filesystem::path& folder) {
    std::unordered_set<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code typeError;
      if (it->is_regular_file(typeError)) names.insert(it->path().filename().native());
    }
    return names;
  }
  std::unordered_map<std::string, std::unordered_set<std::string>> m_folders;
};

int ListFiles(const std::filesystem::path& folder, bool json) {
  const auto layout = DetectStorageLayout(folder);
  if (!layout) {
    std::fprintf(stderr, "fernquill-cli: %s has neither Manifest.db nor Manifest.mbdb\n", folder.c_str());
    return 1;
  }
  const auto manifest = ManifestPathOf(folder, *layout);
  std::vector<ManifestEntry> entries;
  if (const int32_t result = ReadFolderManifest(folder, *layout, entries); result != 0) {
    std::fprintf(stderr, "fernquill-cli: cannot read %s (result %d)\n", manifest.c_str(), result);
    return 1;
  }
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  StoredFilePresence presence;
  for (const auto& entry : entries) {
    const auto stored = StoredFilePath(folder, entry.fileId, *layout);
    const bool exists = presence.isPresent(stored);
    if (json) {
      list.push_back({{"key", entry.key},
                      {"fileId", entry.fileId},
                      {"storedPath", stored.string()},
                      {"exists", exists}});
    } else {
      std::printf("%s\t%s\t%s\t%s\n", Printable(entry.fileId).c_str(), exists ? "present" : "missing",
                  Printable(entry.key).c_str(), Printable(stored.string()).c_str());
    }
  }
  if (json) {
    const nlohmann::ordered_json doc = {
        {"folder", folder.string()},
        {"manifest", manifest.filename().string()},
        {"layout", *layout == StorageLayout::TwoCharacterFolders ? "two-character folders" : "flat"},
        {"entries", std::move(list)}};
    // Keys that are not clean UTF-8 are shown with replacement characters.
    std::printf("%s\n", doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
  }
  return 0;
}

}  // namespace

void AddFilesCommand(CLI::App& app, int& exitStatus) {
  auto* cmd = app.add_subcommand("files", "List every manifest entry of a backup with its stored file");
  struct Options {
    std::string source;
    bool json = false;
  };
  auto options = std::make_shared<Options>();
  cmd->add_option("SOURCE", options->source, "The backup folder")->required();
  cmd->add_flag("--json", options->json, "Print JSON");
  cmd->callback([&exitStatus, options] { exitStatus = ListFiles(options->source, options->json); });
}

}  // namespace fq::cli

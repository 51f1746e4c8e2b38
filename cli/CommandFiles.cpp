#include <cstdio>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <system_error>
#include <vector>

#include "cli/Commands.h"
#include "engine/ResultCodes.h"
#include "engine/backup/ManifestOfFolder.h"
#include "engine/backup/StoredFilePath.h"

namespace fq::cli {
namespace {

// Manifest keys are bytes from the backup: control characters are shown
// escaped so that a hostile key cannot drive the terminal.
void AppendPrintable(std::string& out, std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", byte);
      out += buf;
    } else {
      out.push_back(c);
    }
  }
}

// What the listing says of an entry: folders and links have no stored content to miss.
const char* EntryState(const ManifestEntry& entry, bool exists) {
  switch (entry.kind) {
    case ManifestEntryKind::Folder:
      return "folder";
    case ManifestEntryKind::Link:
      return "link";
    case ManifestEntryKind::File:
      break;
  }
  return exists ? "present" : "missing";
}

int ListFiles(const std::filesystem::path& folder, bool json) {
  const auto layout = DetectStorageLayout(folder);
  if (!layout) {
    std::fprintf(stderr, "fernquill-cli: %s has neither Manifest.db nor Manifest.mbdb\n", folder.c_str());
    return 1;
  }
  const auto manifest = ManifestPathOf(folder, *layout);
  std::vector<ManifestEntry> entries;
  if (const int32_t result = ReadFolderManifest(folder, *layout, entries); result != 0) {
    const char* why = result == kQueryFailed      ? "it has no readable Files table"
                      : result == kMbdbUnopenable ? "it cannot be opened"
                                                  : "it is not a manifest of a backup";
    std::fprintf(stderr, "fernquill-cli: cannot read %s: %s (result %d)\n", manifest.c_str(), why, result);
    return 1;
  }
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  std::string lines;
  for (const auto& entry : entries) {
    const bool file = entry.kind == ManifestEntryKind::File;
    const auto stored = file ? StoredFilePath(folder, entry.fileId, *layout) : std::filesystem::path();
    std::error_code ec;
    const bool exists = !stored.empty() && std::filesystem::is_regular_file(stored, ec);
    const char* state = EntryState(entry, exists);
    if (json) {
      list.push_back({{"key", entry.key},
                      {"fileId", entry.fileId},
                      {"kind", file ? "file" : state},
                      {"storedPath", stored.string()},
                      {"exists", exists}});
    } else {
      AppendPrintable(lines, entry.fileId);
      lines += '\t';
      lines += state;
      lines += '\t';
      AppendPrintable(lines, entry.key);
      lines.push_back('\t');
      AppendPrintable(lines, stored.native());
      lines.push_back('\n');
      if (lines.size() >= (1u << 16)) {
        std::fwrite(lines.data(), 1, lines.size(), stdout);
        lines.clear();
      }
    }
  }
  std::fwrite(lines.data(), 1, lines.size(), stdout);
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

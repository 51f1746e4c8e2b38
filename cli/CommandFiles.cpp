#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <system_error>
#include <vector>

#include "cli/Commands.h"
#include "engine/ResultCodes.h"
#include "engine/backup/ManifestOfFolder.h"
#include "engine/backup/StoredFileListing.h"
#include "engine/backup/StoredFilePath.h"

namespace fq::cli {
namespace {

constexpr uint64_t EveryByte(uint8_t b) { return 0x0101010101010101ull * b; }

// Whether a byte of `w` is below `n` (n <= 128; exact as to existence).
constexpr uint64_t HasByteBelow(uint64_t w, uint8_t n) { return (w - EveryByte(n)) & ~w & EveryByte(0x80); }

// Whether one of the eight bytes of `w` is one AppendPrintable escapes.
bool NeedsEscape(uint64_t w) {
  return (HasByteBelow(w, 0x20) | HasByteBelow(w ^ EveryByte(0x7F), 1) |
          HasByteBelow(w ^ EveryByte('\\'), 1)) != 0;
}

// Manifest keys are bytes from the backup: control characters are shown
// escaped so that a hostile key cannot drive the terminal.
void AppendPrintable(std::string& out, std::string_view text) {
  size_t plainFrom = 0;
  size_t at = 0;
  while (at < text.size()) {
    if (at + 8 <= text.size()) {
      uint64_t w = 0;
      std::memcpy(&w, text.data() + at, 8);
      if (!NeedsEscape(w)) {
        at += 8;
        continue;
      }
    }
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x20 && byte != 0x7F && byte != '\\') {
      ++at;
      continue;
    }
    out.append(text.data() + plainFrom, at - plainFrom);
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", byte);
    out += buf;
    plainFrom = ++at;
  }
  out.append(text.data() + plainFrom, text.size() - plainFrom);
}

// StoredFilePath's text, without taking the folder apart for each file: the
// folder, a separator unless it ends in one (or is empty), and the file's place.
class StoredPathText {
 public:
  StoredPathText(const std::filesystem::path& folder, StorageLayout layout)
      : m_prefix(folder.native()), m_folderLength(m_prefix.size()), m_layout(layout) {
    if (!m_prefix.empty() && m_prefix.back() != '/') m_prefix.push_back('/');
    m_folderLength = m_prefix.size();
  }

  // Empty when `fileId` is no file id; valid until the next call.
  std::string_view of(std::string_view fileId) {
    m_prefix.resize(m_folderLength);
    if (!IsFileId(fileId)) return {};
    if (m_layout == StorageLayout::TwoCharacterFolders) {
      m_prefix.append(fileId.substr(0, 2));
      m_prefix.push_back('/');
    }
    m_prefix.append(fileId);
    return m_prefix;
  }

 private:
  std::string m_prefix;
  size_t m_folderLength;
  StorageLayout m_layout;
};

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
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  std::string lines;
  StoredPathText storedPaths(folder, *layout);
  StoredFileListing present(folder, *layout);
  // Each entry is listed as the manifest is read, so that no list of them all
  // is held: on a damaged index the lines of the entries before the damage
  // come before the error.
  const auto listEntry = [&](const ManifestEntry& entry) {
    const bool file = entry.kind == ManifestEntryKind::File;
    const std::string_view stored = file ? storedPaths.of(entry.fileId) : std::string_view();
    const bool exists = !stored.empty() && present.isRegularFile(entry.fileId);
    const char* state = EntryState(entry, exists);
    if (json) {
      list.push_back({{"key", entry.key},
                      {"fileId", entry.fileId},
                      {"kind", file ? "file" : state},
                      {"storedPath", stored},
                      {"exists", exists}});
      return;
    }
    AppendPrintable(lines, entry.fileId);
    lines += '\t';
    lines += state;
    lines += '\t';
    AppendPrintable(lines, entry.key);
    lines.push_back('\t');
    AppendPrintable(lines, stored);
    lines.push_back('\n');
    if (lines.size() >= (1u << 16)) {
      std::fwrite(lines.data(), 1, lines.size(), stdout);
      lines.clear();
    }
  };
  const int32_t result = ReadFolderManifest(folder, *layout, listEntry);
  std::fwrite(lines.data(), 1, lines.size(), stdout);
  if (result != 0) {
    std::fflush(stdout);
    const char* why = result == kQueryFailed      ? "it has no readable Files table"
                      : result == kMbdbUnopenable ? "it cannot be opened"
                                                  : "it is not a manifest of a backup";
    std::fprintf(stderr, "fernquill-cli: cannot read %s: %s (result %d)\n", manifest.c_str(), why, result);
    return 1;
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

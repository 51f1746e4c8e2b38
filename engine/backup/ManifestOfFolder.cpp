#include "engine/backup/ManifestOfFolder.h"

#include <system_error>

#include "engine/ResultCodes.h"
#include "engine/backup/ManifestDb.h"
#include "engine/backup/ManifestMbdb.h"

namespace fq {

std::optional<StorageLayout> DetectStorageLayout(const std::filesystem::path& folder) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(folder / "Manifest.db", ec)) return StorageLayout::TwoCharacterFolders;
  if (std::filesystem::is_regular_file(folder / "Manifest.mbdb", ec)) return StorageLayout::Flat;
  return std::nullopt;
}

std::filesystem::path ManifestPathOf(const std::filesystem::path& folder, StorageLayout layout) {
  return folder / (layout == StorageLayout::TwoCharacterFolders ? "Manifest.db" : "Manifest.mbdb");
}

namespace {

template <class Entries>
int32_t ReadManifestOf(const std::filesystem::path& folder, StorageLayout layout, Entries& entries) {
  const auto path = ManifestPathOf(folder, layout);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return kInvalid;
  return layout == StorageLayout::TwoCharacterFolders ? ReadManifestDb(path, entries)
                                                      : ReadManifestMbdb(path, entries);
}

}  // namespace

int32_t ReadFolderManifest(const std::filesystem::path& folder, StorageLayout layout,
                           std::vector<ManifestEntry>& entries) {
  return ReadManifestOf(folder, layout, entries);
}

int32_t ReadFolderManifest(const std::filesystem::path& folder, StorageLayout layout,
                           const ManifestEntrySink& sink) {
  return ReadManifestOf(folder, layout, sink);
}

}  // namespace fq

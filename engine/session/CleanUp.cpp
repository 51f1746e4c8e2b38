#include "engine/session/CleanUp.h"

#include <cerrno>
#include <system_error>
#include <vector>

#include "engine/platform/Folders.h"
#include "engine/session/RunWorkArea.h"

namespace fq {
namespace {

bool IsHiddenName(const std::string& name) { return !name.empty() && name[0] == '.'; }

// Deletes the files directly in `folder` whose names do not begin with ".";
// subfolders stay.
void DeleteFilesIn(const std::filesystem::path& folder) {
  if (folder.empty()) return;
  std::vector<FolderEntry> entries;
  ListFolder(folder, entries);
  for (const auto& entry : entries) {
    if (entry.isFolder || IsHiddenName(entry.name)) continue;
    DeleteFileAt(folder / entry.name);
  }
}

void DeletePreviewFiles(const std::filesystem::path& workFolder) {
  if (workFolder.empty()) return;
  for (const char* name : {"tmp.jpg", "tmp.avi", "tmp.wav"}) DeleteFileAt(workFolder / name);
}

// Entries not beginning with ".": folders removed whole, files deleted.
void EmptyFolderOfVisibleEntries(const std::filesystem::path& folder) {
  std::vector<FolderEntry> entries;
  ListFolder(folder, entries);
  for (const auto& entry : entries) {
    if (IsHiddenName(entry.name)) continue;
    if (entry.isFolder) {
      RemoveTree(folder / entry.name);
    } else {
      DeleteFileAt(folder / entry.name);
    }
  }
}

// This run's decrypted copy and previews, the run folders of runs that
// ended without cleaning up, and what runs of the fixed layout left.
void CleanRunWorkAreas(WorkFolders& folders) {
  const auto decrypted = folders.DecryptedBackupFolder();
  if (!decrypted.empty()) {
    RemoveTree(decrypted);
    RemoveStaleRunFolders(decrypted.parent_path());
    DeleteFilesIn(decrypted.parent_path());
  }
  if (const auto preview = folders.PreviewFolder(); !preview.empty()) RemoveTree(preview);
  RemoveStaleRunFolders(folders.workFolder());
  DeletePreviewFiles(folders.workFolder());
}

}  // namespace

int32_t RemoveTree(const std::filesystem::path& folder) {
  if (folder.empty()) return EINVAL;
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(folder, ec);
  if (ec) return ec.value();
  if (!std::filesystem::is_directory(status)) return ENOTDIR;
  std::vector<FolderEntry> entries;
  if (const int32_t listed = ListFolder(folder, entries); listed != 0) return listed;
  for (const auto& entry : entries) {
    const auto path = folder / entry.name;
    const int32_t removed = entry.isFolder ? RemoveTree(path) : DeleteFileAt(path);
    if (removed != 0) return removed;
  }
  std::filesystem::remove(folder, ec);
  return ec ? ec.value() : 0;
}

int32_t StoreCleanUp(WorkFolders& folders) {
  CleanRunWorkAreas(folders);
  return 0;
}

int32_t DeviceCleanUp(WorkFolders& folders) {
  DeleteFilesIn(folders.TempBackupFolder());
  CleanRunWorkAreas(folders);
  return 0;
}

int32_t DeviceBackupCleanUp(WorkFolders& folders, const std::filesystem::path& deviceBackupFolder) {
  if (deviceBackupFolder.empty()) return 0;
  const auto temp = folders.TempBackupFolder();
  // The folder comes from the device driver: never empty anything it names
  // outside the program's own temporary backup folder.
  if (temp.empty() || !IsInsideFolder(deviceBackupFolder, temp)) return 0;
  EmptyFolderOfVisibleEntries(deviceBackupFolder);
  const auto snapshot = deviceBackupFolder / "Snapshot";
  std::error_code ec;
  if (std::filesystem::is_directory(std::filesystem::symlink_status(snapshot, ec))) {
    EmptyFolderOfVisibleEntries(snapshot);
    std::filesystem::remove(snapshot, ec);
  }
  return 0;
}

bool IsInsideFolder(const std::filesystem::path& path, const std::filesystem::path& folder) {
  if (path.empty() || folder.empty()) return false;
  std::error_code ec;
  const auto inner = std::filesystem::weakly_canonical(path, ec);
  if (ec) return false;
  const auto outer = std::filesystem::weakly_canonical(folder, ec);
  if (ec) return false;
  const auto relative = inner.lexically_relative(outer);
  if (relative.empty() || relative == ".") return false;
  const auto first = relative.begin()->string();
  return first != ".." && first != ".";
}

}  // namespace fq

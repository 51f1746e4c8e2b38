#pragma once
// What the recovery objects delete when they are built and destroyed: files
// left in the work folder and the temporary backup folder. Nothing outside
// those two folders is ever deleted; deletion failures are ignored (a later
// clean-up tries again).
#include <cstdint>
#include <filesystem>

#include "engine/session/WorkFolders.h"

namespace fq {

// Removes `folder` with everything in it. Links are removed, never followed.
// 0 or the errno of the first failure.
int32_t RemoveTree(const std::filesystem::path& folder);

// The store's clean-up: this run's decrypted copy and preview folder, the run
// folders of runs whose process is gone, and the files (names not beginning
// with ".") and preview files an earlier layout left directly in the decrypted
// backup folder and the work folder. Other live runs' folders stay. The store
// empties its own file list.
int32_t StoreCleanUp(WorkFolders& folders);

// The device session's clean-up: the files directly in the temporary backup
// folder, and all the store's clean-up does.
int32_t DeviceCleanUp(WorkFolders& folders);

// Empties a fresh device backup folder (its entries and its "Snapshot"
// subfolder; the folder itself stays). Does nothing unless the folder lies
// inside the temporary backup folder.
int32_t DeviceBackupCleanUp(WorkFolders& folders, const std::filesystem::path& deviceBackupFolder);

// True when `path` lies strictly inside `folder` (both resolved).
bool IsInsideFolder(const std::filesystem::path& path, const std::filesystem::path& folder);

}  // namespace fq

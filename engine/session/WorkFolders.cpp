#include "engine/session/WorkFolders.h"

#include <cerrno>
#include <utility>

#include "engine/platform/Folders.h"
#include "engine/session/RunWorkArea.h"

namespace fq {

DriveSource DriveSource::ThisMachine() { return DriveSource{FreeBytesOf, ListVolumes}; }

std::filesystem::path ChooseTempBackupFolder(const std::filesystem::path& workFolder,
                                             std::optional<uint64_t> appDataFreeBytes,
                                             const std::optional<std::vector<Volume>>& volumes) {
  if (!workFolder.empty() && appDataFreeBytes && *appDataFreeBytes > kTempBackupRoomBytes) {
    return workFolder / kTempBackupFolderName;
  }
  if (!volumes) return {};
  const Volume* best = nullptr;
  uint64_t bestFree = 0;
  for (const auto& volume : *volumes) {
    const bool kindQualifies = volume.kind == VolumeKind::Removable || volume.kind == VolumeKind::Fixed ||
                               volume.kind == VolumeKind::Remote;
    if (!kindQualifies || !volume.freeBytes || volume.root.empty()) continue;
    if (*volume.freeBytes > bestFree) {
      best = &volume;
      bestFree = *volume.freeBytes;
    }
  }
  if (best == nullptr) return {};
  return best->root / kTempBackupFolderName;
}

WorkFolders::WorkFolders(std::filesystem::path appDataFolder, DriveSource drives)
    : m_appData(std::move(appDataFolder)), m_drives(std::move(drives)) {
  if (!m_appData.empty()) m_workFolder = m_appData / kWorkFolderName;
}

std::filesystem::path WorkFolders::PreviewFolder() const {
  if (m_workFolder.empty()) return {};
  return m_workFolder / RunFolderName();
}

int32_t WorkFolders::CreateWorkFolder() const {
  if (m_workFolder.empty()) return ENOENT;
  return CreateFolders(m_workFolder);
}

std::filesystem::path WorkFolders::TempBackupFolder() {
  std::lock_guard lock(m_mutex);
  if (m_tempBackupFolder) return *m_tempBackupFolder;
  std::optional<uint64_t> appDataFree;
  if (!m_appData.empty() && m_drives.freeBytesOf) {
    // The folder may not exist yet; its drive is that of its nearest existing parent.
    std::filesystem::path probe = m_appData;
    while (!probe.empty() && !IsFolder(probe) && probe != probe.parent_path()) probe = probe.parent_path();
    appDataFree = m_drives.freeBytesOf(probe.empty() ? m_appData : probe);
  }
  std::optional<std::vector<Volume>> volumes;
  const bool appDataHasRoom = !m_workFolder.empty() && appDataFree && *appDataFree > kTempBackupRoomBytes;
  if (!appDataHasRoom && m_drives.listVolumes) volumes = m_drives.listVolumes();
  std::filesystem::path chosen = ChooseTempBackupFolder(m_workFolder, appDataFree, volumes);
  if (!chosen.empty()) CreateFolders(chosen);  // a failure shows later, when writing into it
  m_tempBackupFolder = chosen;
  return chosen;
}

std::filesystem::path WorkFolders::DecryptedBackupFolder() {
  const auto temp = TempBackupFolder();
  if (temp.empty()) return {};
  return temp / kDecryptedBackupFolderName / RunFolderName();
}

}  // namespace fq

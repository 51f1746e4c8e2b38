#pragma once
// The program's own folders: the work folder in the user's application data
// (preview files, the decrypt tool's copy) and the temporary backup folder,
// placed once per process on a drive with room for a whole device backup.
// Clean-up only ever deletes inside these two.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/platform/Volumes.h"

namespace fq {

inline constexpr const char* kWorkFolderName = "VelmoraSoftiOSRecovery";
inline constexpr const char* kTempBackupFolderName = "VelmoraSoft_tmp_backup";
inline constexpr const char* kDecryptedBackupFolderName = "VelmoraSoftBackupPath";

// More free bytes than this on the application-data drive keeps the
// temporary backup folder there (15 GiB).
inline constexpr uint64_t kTempBackupRoomBytes = 16106127360ULL;

// Where the drive facts come from: this machine, or a test's table.
struct DriveSource {
  std::function<std::optional<uint64_t>(const std::filesystem::path&)> freeBytesOf;
  std::function<std::optional<std::vector<Volume>>()> listVolumes;

  static DriveSource ThisMachine();
};

// The temporary backup folder for these drive facts, or empty when no drive
// qualifies: inside the work folder when the application-data drive has more
// than 15 GiB free, else on the removable, fixed or remote volume with the
// most free bytes (ties keep the earlier; 0 free bytes never qualifies).
std::filesystem::path ChooseTempBackupFolder(const std::filesystem::path& workFolder,
                                             std::optional<uint64_t> appDataFreeBytes,
                                             const std::optional<std::vector<Volume>>& volumes);

class WorkFolders {
 public:
  explicit WorkFolders(std::filesystem::path appDataFolder, DriveSource drives = DriveSource::ThisMachine());

  const std::filesystem::path& appDataFolder() const { return m_appData; }
  // <application data>/VelmoraSoftiOSRecovery; empty without application data.
  const std::filesystem::path& workFolder() const { return m_workFolder; }
  // Creates the work folder with its parents; 0 or an errno value.
  int32_t CreateWorkFolder() const;

  // Chooses and creates the temporary backup folder on the first call and
  // answers the same path afterwards; empty when no drive qualified.
  std::filesystem::path TempBackupFolder();
  // <temporary backup folder>/VelmoraSoftBackupPath/run-<process id> (not
  // created): this run's own, so runs side by side never share a copy; empty
  // without a temporary backup folder.
  std::filesystem::path DecryptedBackupFolder();
  // <work folder>/run-<process id> (not created): this run's preview files.
  std::filesystem::path PreviewFolder() const;

 private:
  std::filesystem::path m_appData;
  std::filesystem::path m_workFolder;
  DriveSource m_drives;
  std::mutex m_mutex;
  std::optional<std::filesystem::path> m_tempBackupFolder;
};

}  // namespace fq

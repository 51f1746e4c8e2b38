#pragma once
// What the device recovery session needs of the device backup driver. The real
// driver (libimobiledevice) and the tests' fake driver both implement it.
#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/ProgressCallback.h"

namespace fq {

class IDeviceBackupDriver {
 public:
  virtual ~IDeviceBackupDriver() = default;

  // The backup reports within `share` points of the caller's percent scale.
  virtual void SetProgress(ProgressCallback callback, int32_t share) = 0;
  // 8: full backup into the given folder (the only mode).
  virtual void SetMode(int32_t mode) = 0;
  // Runs a full backup into `folder`/<udid>; 0, -1 (gave up), 2 (cancelled) or a library code.
  virtual int32_t Backup(const std::filesystem::path& folder, const std::string& password) = 0;
  virtual std::filesystem::path GetBackupFolder() const = 0;
  virtual bool VersionAbove9() const = 0;
  virtual bool VersionAbove11() const = 0;
  // Asks a running backup to stop (the process-wide quit counter).
  virtual void RaiseQuit() = 0;
  virtual int32_t Disconnect() = 0;
  // The device's own description of why the last backup failed, if it gave one.
  virtual std::string ErrorDescription() const { return {}; }
};

}  // namespace fq

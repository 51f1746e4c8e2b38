#pragma once
// The one device connection of the process: connects to the first device that
// usbmuxd lists, holds the sync lock, reads the device's identity, switches
// its backup encryption off (and back on) and pulls a full backup through
// mobilebackup2.
//
// Threads: Connect, Disconnect, IsDeviceAttached, HasDevice, the encryption
// calls and the identity getters belong to one device thread (the window's
// device thread, or the CLI's only thread); Backup runs on the scan thread,
// which also reads its outcome (ErrorDescription, GetBackupFolder, the
// version flags) once it returned; RaiseQuit, IsIdle and NoteCancelOnDevice
// may be called from anywhere. The connection
// (device handle and service clients) is guarded by one lock that Backup holds
// for its whole run, so it never changes under a running backup: a device
// thread that wants to reconnect first raises the quit counter and waits for
// IsIdle, and only then asks for the lock.
#include <libimobiledevice/afc.h>
#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <libimobiledevice/mobilebackup2.h>
#include <libimobiledevice/notification_proxy.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/DeviceLinkLoop.h"
#include "device/PlistPtr.h"
#include "engine/session/IDeviceBackupDriver.h"

namespace fq {

// Waits and limits of the driver; the defaults are the product's, tests
// shorten them.
struct DeviceDriverTimings {
  int emptyPollPauseMs = 3000;
  int maxFailedProbes = 10;
  int syncLockAttempts = 50;
  int syncLockRetryMs = 2000;
};

class CDeviceBackupDriver final : public IDeviceBackupDriver {
 public:
  CDeviceBackupDriver();
  ~CDeviceBackupDriver() override;
  CDeviceBackupDriver(const CDeviceBackupDriver&) = delete;
  CDeviceBackupDriver& operator=(const CDeviceBackupDriver&) = delete;

  // The process's driver, made on first use; torn down at exit (Disconnect,
  // then CleanBackupFolder).
  static CDeviceBackupDriver& Instance();

  // Connects to the first listed device and prepares a backup; 0 when the
  // backup service is ready, -1 without a device, else the library's code.
  int32_t Connect(bool& willEncrypt);
  int32_t Disconnect() override;
  bool IsDeviceAttached();
  bool HasDevice() const { return m_device != nullptr; }
  // Switches the device's backup encryption off with its password; a success
  // is remembered (with the device's UDID) until RestoreBackupEncryption.
  int32_t TurnOffBackupEncryption(const std::string& password);
  // Whether this driver switched a device's backup encryption off and has
  // not switched it on again.
  bool EncryptionSwitchedOff() const;
  // Switches encryption back on with `password` on the device that
  // TurnOffBackupEncryption switched it off for, over a connection of its own
  // (a backup may have left the old one anywhere). The device may want its
  // passcode typed on it first, so this can take as long as the user does;
  // the quit counter ends the wait. 0 when nothing was switched off or it is
  // on again; -1 when that device is not the one attached; else the device's
  // or the library's code. One attempt: the remembered switch is forgotten.
  int32_t RestoreBackupEncryption(const std::string& password);

  void SetProgress(ProgressCallback callback, int32_t share) override;
  void SetMode(int32_t mode) override { m_mode = mode; }
  int32_t Backup(const std::filesystem::path& folder, const std::string& password) override;
  std::filesystem::path GetBackupFolder() const override { return m_backupFolder; }
  bool VersionAbove9() const override { return m_versionAbove9; }
  bool VersionAbove11() const override { return m_versionAbove11; }
  void RaiseQuit() override;

  // 0 when read from the device, 87 when answered from the cache or not
  // available.
  int32_t GetDeviceName(std::string& out);
  int32_t GetProductVersion(std::string& out);
  int32_t GetDeviceClass(std::string& out);
  const std::string& Udid() const { return m_udid; }
  bool WillEncrypt() const { return m_willEncrypt; }
  bool IsIdle() const { return m_idle.load(); }
  std::string ErrorDescription() const override { return m_errorDescription; }
  // The device asked to cancel the sync (its notification thread calls this).
  void NoteCancelOnDevice() { m_cancelledOnDevice.store(true); }

  // Deletes the plain files of the backup folder and of its "Snapshot".
  void CleanBackupFolder();
  // The caller keeps the last backup (a backup into a folder of the user's
  // choosing): the clean-up at exit leaves it alone.
  void KeepBackupFolder() { m_backupFolder.clear(); }

  void SetTimings(const DeviceDriverTimings& timings) { m_timings = timings; }
  void SetLog(DeviceLogSink log) { m_log = std::move(log); }

 private:
  class Link;

  int32_t readValue(const char* key, std::string& cache, std::string& out);
  PlistPtr readAllValues();
  void postNotification(const char* name);
  void releaseSyncLock();
  int32_t runMessageLoop(const std::optional<std::filesystem::path>& root);
  // "ChangePassword" with the one password `key` ("OldPassword" switches
  // encryption off, "NewPassword" on), answered through the message loop.
  int32_t changePassword(const char* key, const std::string& password);
  int32_t backupProper(const std::filesystem::path& folder);
  std::optional<std::vector<char>> readAfcFile(const std::string& path);
  void log(const std::string& line);

  bool m_versionAbove11 = false;
  bool m_willEncrypt = false;
  idevice_t m_device = nullptr;
  int32_t m_mode = 8;
  afc_client_t m_afc = nullptr;
  uint64_t m_syncLock = 0;
  mobilebackup2_client_t m_backup = nullptr;
  lockdownd_client_t m_lockdown = nullptr;
  np_client_t m_notifications = nullptr;
  std::string m_udid;
  std::filesystem::path m_backupFolder;
  ProgressCallback m_progress;
  int32_t m_progressShare = 20;
  std::string m_errorDescription;
  std::atomic<bool> m_idle{true};
  std::atomic<bool> m_cancelledOnDevice{false};
  std::string m_productVersion;
  std::string m_deviceName;
  std::string m_deviceClass;
  bool m_versionAbove9 = false;
  // The UDID of the device whose encryption this driver switched off.
  std::string m_encryptionOffUdid;
  // Recursive: Backup and Connect call the getters and the encryption calls.
  mutable std::recursive_mutex m_session;
  DeviceDriverTimings m_timings;
  DeviceLogSink m_log = WriteDeviceLogToStdout;
};

}  // namespace fq

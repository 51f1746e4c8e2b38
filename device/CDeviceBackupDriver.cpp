#include "device/CDeviceBackupDriver.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <utility>

#include "device/InfoPlist.h"
#include "device/QuitCounter.h"
#include "engine/ResultCodes.h"
#include "engine/platform/File.h"
#include "engine/platform/Text.h"

namespace fq {

namespace {

constexpr const char* kLabel = "idevicebackup2";
constexpr const char* kNotificationService = "com.apple.mobile.notification_proxy";
constexpr const char* kSyncLockFile = "/com.apple.itunes.lock_sync";
// An AFC file larger than this is not read into memory for Info.plist.
constexpr uint64_t kMaxAfcFileSize = 64ull * 1024 * 1024;

void OnNotification(const char* name, void* userData) {
  if (!name || !*name) return;
  if (std::strcmp(name, "com.apple.itunes-client.syncCancelRequest") == 0) {
    if (userData) static_cast<CDeviceBackupDriver*>(userData)->NoteCancelOnDevice();
    QuitCounter().fetch_add(1);
  }
}

int LeadingInteger(const std::string& text) {
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (value > 100000) break;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

// The message loop's view of this driver's connection.
class CDeviceBackupDriver::Link final : public IDeviceLink {
 public:
  explicit Link(CDeviceBackupDriver& driver) : m_driver(driver) {}

  int32_t ReceiveMessage(PlistPtr& message, std::string& name) override {
    plist_t node = nullptr;
    char* dlMessage = nullptr;
    const int32_t rc = mobilebackup2_receive_message(m_driver.m_backup, &node, &dlMessage);
    message.reset(node);
    name = dlMessage ? dlMessage : "";
    std::free(dlMessage);
    return rc;
  }
  int32_t SendStatusResponse(int32_t code, const char* text, plist_t payload) override {
    return mobilebackup2_send_status_response(m_driver.m_backup, code, text, payload);
  }
  int32_t SendRaw(std::span<const char> data, uint32_t& done) override {
    done = 0;
    return mobilebackup2_send_raw(m_driver.m_backup, data.data(), static_cast<uint32_t>(data.size()), &done);
  }
  int32_t ReceiveRaw(std::span<char> data, uint32_t& done) override {
    done = 0;
    return mobilebackup2_receive_raw(m_driver.m_backup, data.data(), static_cast<uint32_t>(data.size()),
                                     &done);
  }
  bool ProbeDevice() override {
    PlistPtr values = m_driver.readAllValues();
    return PlistDictString(values.get(), "DeviceName").has_value();
  }
  bool IsDeviceAttached() override { return m_driver.m_device != nullptr && m_driver.IsDeviceAttached(); }

 private:
  CDeviceBackupDriver& m_driver;
};

CDeviceBackupDriver::CDeviceBackupDriver() {
  // A device that goes away mid-write must become a failed send, not the end
  // of the process.
  std::signal(SIGPIPE, SIG_IGN);
}

CDeviceBackupDriver::~CDeviceBackupDriver() {
  Disconnect();
  CleanBackupFolder();
}

CDeviceBackupDriver& CDeviceBackupDriver::Instance() {
  static CDeviceBackupDriver driver;
  return driver;
}

void CDeviceBackupDriver::log(const std::string& line) {
  if (m_log) m_log(line);
}

void CDeviceBackupDriver::SetProgress(ProgressCallback callback, int32_t share) {
  m_progress = std::move(callback);
  m_progressShare = share;
}

void CDeviceBackupDriver::RaiseQuit() { QuitCounter().fetch_add(1); }

bool CDeviceBackupDriver::IsDeviceAttached() {
  idevice_t device = nullptr;
  if (idevice_new(&device, nullptr) != IDEVICE_E_SUCCESS || !device) return false;
  idevice_free(device);
  return true;
}

int32_t CDeviceBackupDriver::Connect(bool& willEncrypt) {
  std::lock_guard<std::recursive_mutex> session(m_session);
  Disconnect();  // a second Connect never leaks the first connection
  if (idevice_new(&m_device, nullptr) != IDEVICE_E_SUCCESS || !m_device) {
    m_device = nullptr;
    return -1;
  }
  char* udid = nullptr;
  idevice_get_udid(m_device, &udid);
  m_udid = udid ? udid : "";
  std::free(udid);
  m_productVersion.clear();
  m_deviceName.clear();
  m_deviceClass.clear();

  int32_t rc = lockdownd_client_new_with_handshake(m_device, &m_lockdown, kLabel);
  if (rc != LOCKDOWN_E_SUCCESS) {
    m_lockdown = nullptr;
    return rc;
  }

  lockdownd_service_descriptor_t service = nullptr;
  rc = lockdownd_start_service(m_lockdown, kNotificationService, &service);
  if (rc != LOCKDOWN_E_SUCCESS || !service || service->port == 0) {
    log("Could not start " + std::string(kNotificationService) + ": " + std::to_string(rc) + "\n");
    lockdownd_service_descriptor_free(service);
    return -1;
  }
  rc = np_client_new(m_device, service, &m_notifications);
  lockdownd_service_descriptor_free(service);
  service = nullptr;
  if (rc != NP_E_SUCCESS) {
    m_notifications = nullptr;
    return rc;
  }
  np_set_notify_callback(m_notifications, OnNotification, this);
  const char* observed[] = {
      "com.apple.itunes-client.syncCancelRequest", "com.apple.itunes-client.syncSuspendRequest",
      "com.apple.itunes-client.syncResumeRequest", "com.apple.mobile.lockdown.host_attached",
      "com.apple.mobile.lockdown.host_detached",   nullptr};
  np_observe_notifications(m_notifications, observed);

  // Without AFC the backup still runs: no sync lock, no AFC files in Info.plist.
  if (lockdownd_start_service(m_lockdown, "com.apple.afc", &service) == LOCKDOWN_E_SUCCESS && service &&
      service->port != 0) {
    if (afc_client_new(m_device, service, &m_afc) != AFC_E_SUCCESS) m_afc = nullptr;
  }
  lockdownd_service_descriptor_free(service);
  service = nullptr;

  rc = lockdownd_start_service_with_escrow_bag(m_lockdown, "com.apple.mobilebackup2", &service);
  if (rc != LOCKDOWN_E_SUCCESS) {
    lockdownd_service_descriptor_free(service);
    service = nullptr;
    rc = lockdownd_start_service(m_lockdown, "com.apple.mobilebackup2", &service);
    if (rc != LOCKDOWN_E_SUCCESS) {
      lockdownd_service_descriptor_free(service);
      return rc;
    }
  }
  const bool hasPort = service && service->port != 0;
  if (hasPort) {
    rc = mobilebackup2_client_new(m_device, service, &m_backup);
    lockdownd_service_descriptor_free(service);
    if (rc != MOBILEBACKUP2_E_SUCCESS) {
      m_backup = nullptr;
      return rc;
    }
    double versions[] = {2.0, 2.1};
    double chosen = 0;
    rc = mobilebackup2_version_exchange(m_backup, versions, 2, &chosen);
    if (rc != MOBILEBACKUP2_E_SUCCESS) return rc;

    postNotification("com.apple.itunes-mobdev.syncWillStart");
    if (m_afc && afc_file_open(m_afc, kSyncLockFile, AFC_FOPEN_RW, &m_syncLock) == AFC_E_SUCCESS &&
        m_syncLock != 0) {
      postNotification("com.apple.itunes-mobdev.syncLockRequest");
      for (int attempt = 0; attempt < m_timings.syncLockAttempts; ++attempt) {
        const int32_t lock = afc_file_lock(m_afc, m_syncLock, AFC_LOCK_EX);
        if (lock == AFC_E_SUCCESS) {
          postNotification("com.apple.itunes-mobdev.syncDidStart");
          break;
        }
        if (lock != AFC_E_OP_WOULD_BLOCK) {
          afc_file_close(m_afc, m_syncLock);
          m_syncLock = 0;
          return lock;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(m_timings.syncLockRetryMs));
      }
      // Every attempt would block: the backup goes on without the lock; the
      // handle stays open and is released like a held lock.
    } else {
      m_syncLock = 0;
    }

    plist_t value = nullptr;
    m_willEncrypt = false;
    if (lockdownd_get_value(m_lockdown, "com.apple.mobile.backup", "WillEncrypt", &value) ==
        LOCKDOWN_E_SUCCESS) {
      PlistPtr owned(value);
      if (value && plist_get_node_type(value) == PLIST_BOOLEAN) {
        uint8_t flag = 0;
        plist_get_bool_val(value, &flag);
        m_willEncrypt = flag != 0;
      }
    }
    willEncrypt = m_willEncrypt;
  } else {
    lockdownd_service_descriptor_free(service);
  }

  GetProductVersion(m_productVersion);
  GetDeviceName(m_deviceName);
  GetDeviceClass(m_deviceClass);
  return kOk;
}

int32_t CDeviceBackupDriver::Disconnect() {
  std::lock_guard<std::recursive_mutex> session(m_session);
  if (m_lockdown) {
    lockdownd_client_free(m_lockdown);
    m_lockdown = nullptr;
  }
  releaseSyncLock();
  if (m_backup) {
    mobilebackup2_client_free(m_backup);
    m_backup = nullptr;
  }
  if (m_afc) {
    afc_client_free(m_afc);
    m_afc = nullptr;
  }
  if (m_notifications) {
    np_client_free(m_notifications);
    m_notifications = nullptr;
  }
  if (m_device) {
    idevice_free(m_device);
    m_device = nullptr;
  }
  return kOk;
}

void CDeviceBackupDriver::releaseSyncLock() {
  if (m_syncLock == 0) return;
  if (m_afc) {
    afc_file_lock(m_afc, m_syncLock, AFC_LOCK_UN);
    afc_file_close(m_afc, m_syncLock);
  }
  m_syncLock = 0;
  postNotification("com.apple.itunes-mobdev.syncDidFinish");
}

void CDeviceBackupDriver::postNotification(const char* name) {
  if (!m_device) return;
  lockdownd_client_t lockdown = nullptr;
  if (lockdownd_client_new_with_handshake(m_device, &lockdown, kLabel) != LOCKDOWN_E_SUCCESS) {
    return;
  }
  lockdownd_service_descriptor_t service = nullptr;
  if (lockdownd_start_service(lockdown, kNotificationService, &service) == LOCKDOWN_E_SUCCESS && service &&
      service->port != 0) {
    np_client_t client = nullptr;
    if (np_client_new(m_device, service, &client) == NP_E_SUCCESS) {
      np_post_notification(client, name);
      np_client_free(client);
    }
  } else {
    log("Could not start " + std::string(kNotificationService) + "\n");
  }
  lockdownd_service_descriptor_free(service);
  lockdownd_client_free(lockdown);
}

PlistPtr CDeviceBackupDriver::readAllValues() {
  if (!m_lockdown) return PlistPtr();
  plist_t values = nullptr;
  if (lockdownd_get_value(m_lockdown, nullptr, nullptr, &values) != LOCKDOWN_E_SUCCESS) {
    plist_free(values);
    return PlistPtr();
  }
  return PlistPtr(values);
}

int32_t CDeviceBackupDriver::readValue(const char* key, std::string& cache, std::string& out) {
  std::lock_guard<std::recursive_mutex> session(m_session);
  if (!cache.empty()) {
    out = cache;
    return kInvalid;
  }
  if (!m_lockdown) return kInvalid;
  PlistPtr values = readAllValues();
  if (!values) return kInvalid;
  // The system code page is UTF-8 here; a name that is not clean text is kept
  // out rather than shown garbled.
  const auto value = PlistDictString(values.get(), key);
  out = value && IsAcceptedText(*value) ? *value : std::string();
  return kOk;
}

int32_t CDeviceBackupDriver::GetDeviceName(std::string& out) {
  return readValue("DeviceName", m_deviceName, out);
}

int32_t CDeviceBackupDriver::GetDeviceClass(std::string& out) {
  return readValue("DeviceClass", m_deviceClass, out);
}

int32_t CDeviceBackupDriver::GetProductVersion(std::string& out) {
  const int32_t rc = readValue("ProductVersion", m_productVersion, out);
  if (rc == kOk) {
    const int major = LeadingInteger(out);
    m_versionAbove9 = major > 9;
    m_versionAbove11 = major > 11;
  }
  return rc;
}

int32_t CDeviceBackupDriver::TurnOffBackupEncryption(const std::string& password) {
  std::lock_guard<std::recursive_mutex> session(m_session);
  if (!m_willEncrypt) return kOk;
  const int32_t result = changePassword("OldPassword", password);
  if (result == kOk) {
    m_willEncrypt = false;
    m_encryptionOffUdid = m_udid;
  }
  return result;
}

bool CDeviceBackupDriver::EncryptionSwitchedOff() const {
  std::lock_guard<std::recursive_mutex> session(m_session);
  return !m_encryptionOffUdid.empty();
}

int32_t CDeviceBackupDriver::RestoreBackupEncryption(const std::string& password) {
  std::lock_guard<std::recursive_mutex> session(m_session);
  if (m_encryptionOffUdid.empty()) return kOk;
  const std::string udid = std::exchange(m_encryptionOffUdid, std::string());
  bool willEncrypt = false;
  const int32_t rc = Connect(willEncrypt);
  if (rc != kOk) return rc;
  // Another phone plugged in meanwhile gets no password of the first one.
  if (m_udid != udid) return -1;
  if (willEncrypt) return kOk;  // switched on again by someone else
  const int32_t result = changePassword("NewPassword", password);
  if (result == kOk) m_willEncrypt = true;
  return result;
}

int32_t CDeviceBackupDriver::changePassword(const char* key, const std::string& password) {
  if (!m_backup) return kInvalid;
  PlistPtr options(plist_new_dict());
  plist_dict_set_item(options.get(), "TargetIdentifier", plist_new_string(m_udid.c_str()));
  plist_dict_set_item(options.get(), key, plist_new_string(password.c_str()));
  const int32_t rc = mobilebackup2_send_message(m_backup, "ChangePassword", options.get());
  if (rc != MOBILEBACKUP2_E_SUCCESS) return rc;
  return runMessageLoop(std::nullopt);
}

int32_t CDeviceBackupDriver::runMessageLoop(const std::optional<std::filesystem::path>& root) {
  Link link(*this);
  DeviceLinkSettings settings;
  settings.emptyPollPauseMs = m_timings.emptyPollPauseMs;
  settings.maxFailedProbes = m_timings.maxFailedProbes;
  settings.progress = m_progress;
  settings.progressShare = m_progressShare;
  settings.log = m_log;
  DeviceLinkLoop loop(link, settings);
  const int32_t result = loop.RunMessageLoop(root);
  if (!loop.ErrorDescription().empty()) m_errorDescription = loop.ErrorDescription();
  releaseSyncLock();
  return result;
}

int32_t CDeviceBackupDriver::Backup(const std::filesystem::path& folder, const std::string& password) {
  std::lock_guard<std::recursive_mutex> session(m_session);
  m_errorDescription.clear();
  m_cancelledOnDevice.store(false);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  m_idle.store(false);
  int32_t result = kOk;
  if (m_willEncrypt) result = TurnOffBackupEncryption(password);
  if (result == kOk) {
    m_backupFolder = folder / m_udid;
    result = backupProper(folder);
    if (result != kOk) CleanBackupFolder();
  }
  // The device's cancel ends the loop like a quit of ours; say whose it was.
  if (result != kOk && m_cancelledOnDevice.load() && m_errorDescription.empty()) {
    m_errorDescription = "the backup was cancelled on the device";
  }
  m_idle.store(true);
  return result;
}

int32_t CDeviceBackupDriver::backupProper(const std::filesystem::path& folder) {
  std::error_code ec;
  if (folder.empty() || !std::filesystem::is_directory(folder, ec)) return kInvalid;
  if (!m_backup || m_udid.empty()) return kInvalid;
  const std::filesystem::path deviceFolder = folder / m_udid;
  std::filesystem::create_directory(deviceFolder, ec);

  PlistPtr values = readAllValues();
  PlistPtr itunes;
  if (m_lockdown) {
    plist_t domain = nullptr;
    if (lockdownd_get_value(m_lockdown, "com.apple.iTunes", nullptr, &domain) == LOCKDOWN_E_SUCCESS) {
      itunes.reset(domain);
    } else {
      plist_free(domain);
    }
  }
  PlistPtr info = BuildInfoPlist(values.get(), itunes.get(), m_udid, std::time(nullptr),
                                 [this](const std::string& path) { return readAfcFile(path); });
  const std::filesystem::path infoPath = deviceFolder / "Info.plist";
  std::filesystem::remove(infoPath, ec);
  {
    char* xml = nullptr;
    uint32_t length = 0;
    if (info) plist_to_xml(info.get(), &xml, &length);
    WriteWholeFile(infoPath, xml ? std::string_view(xml, length) : std::string_view());
    std::free(xml);
  }

  const int32_t rc = mobilebackup2_send_request(m_backup, "Backup", m_udid.c_str(), m_udid.c_str(), nullptr);
  if (rc != MOBILEBACKUP2_E_SUCCESS) return rc;
  return runMessageLoop(folder);
}

std::optional<std::vector<char>> CDeviceBackupDriver::readAfcFile(const std::string& path) {
  if (!m_afc) return std::nullopt;
  char** info = nullptr;
  if (afc_get_file_info(m_afc, path.c_str(), &info) != AFC_E_SUCCESS || !info) {
    return std::nullopt;
  }
  uint64_t size = 0;
  bool sized = false;
  for (int i = 0; info[i] && info[i + 1]; i += 2) {
    if (std::strcmp(info[i], "st_size") == 0) {
      char* end = nullptr;
      size = std::strtoull(info[i + 1], &end, 10);
      sized = end && *end == '\0' && end != info[i + 1];
    }
  }
  afc_dictionary_free(info);
  if (!sized || size == 0 || size > kMaxAfcFileSize) return std::nullopt;

  uint64_t handle = 0;
  if (afc_file_open(m_afc, path.c_str(), AFC_FOPEN_RDONLY, &handle) != AFC_E_SUCCESS) {
    return std::nullopt;
  }
  std::vector<char> data(size);
  uint64_t done = 0;
  while (done < size) {
    uint32_t got = 0;
    const auto want = static_cast<uint32_t>(std::min<uint64_t>(size - done, 1u << 20));
    if (afc_file_read(m_afc, handle, data.data() + done, want, &got) != AFC_E_SUCCESS || got == 0 ||
        got > want) {
      break;
    }
    done += got;
  }
  afc_file_close(m_afc, handle);
  if (done != size) return std::nullopt;
  return data;
}

void CDeviceBackupDriver::CleanBackupFolder() {
  if (m_backupFolder.empty()) return;
  const auto removePlainFiles = [](const std::filesystem::path& folder) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (name.empty() || name[0] == '.') continue;
      std::error_code statusError;
      if (std::filesystem::is_directory(it->symlink_status(statusError))) continue;
      std::error_code removeError;
      std::filesystem::remove(it->path(), removeError);
    }
  };
  removePlainFiles(m_backupFolder);
  removePlainFiles(m_backupFolder / "Snapshot");
  std::error_code ec;
  std::filesystem::remove(m_backupFolder / "Snapshot", ec);  // only when now empty
}

}  // namespace fq

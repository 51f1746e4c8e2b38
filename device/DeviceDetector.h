#pragma once
// The device page's once-a-second detection tick, without the page: it checks
// that the device service answers, that a device is attached and that the
// backup driver holds a working connection, and says which panel to show.
#include <atomic>
#include <functional>
#include <string>

#include "device/CDeviceBackupDriver.h"

namespace fq {

// The three panels of the device page, by their index.
enum class DevicePanel { SoftwareMissing = 0, NoConnection = 1, Connected = 2 };

// Whether usbmuxd answers on its socket: the address in USBMUXD_SOCKET_ADDRESS
// ("UNIX:<path>" or "<host>:<port>") when set, else /var/run/usbmuxd.
bool IsDeviceServiceReachable();

// "name(class version)"; the space only when the version is not empty.
std::string FormatDeviceText(const std::string& name, const std::string& deviceClass,
                             const std::string& version);

class DeviceDetector {
 public:
  explicit DeviceDetector(CDeviceBackupDriver& driver,
                          std::function<bool()> softwareCheck = IsDeviceServiceReachable,
                          int idleCheckMs = 1000);

  // Page creation and the Retry button: the software check alone.
  DevicePanel CheckSoftware();
  // One tick of the timer. Where the connection is to be renewed while a
  // backup still runs, it first waits for that backup to end; RequestStop
  // ends the wait (the panel is then left as it was).
  DevicePanel Tick();
  // Any thread: ends a Tick's wait for an idle driver, now and from now on.
  void RequestStop() { m_stop.store(true); }

  DevicePanel Panel() const { return m_panel; }
  const std::string& DeviceText() const { return m_deviceText; }
  bool WillEncrypt() const { return m_willEncrypt; }

 private:
  CDeviceBackupDriver& m_driver;
  std::function<bool()> m_softwareCheck;
  int m_idleCheckMs;
  DevicePanel m_panel = DevicePanel::NoConnection;
  std::string m_deviceText;
  bool m_willEncrypt = false;
  // The last Connect succeeded (and its device has not been seen gone).
  bool m_connected = false;
  // A tick found usbmuxd gone since the connection was made.
  bool m_serviceLost = false;
  std::atomic<bool> m_stop{false};
};

}  // namespace fq

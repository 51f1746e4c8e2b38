#include "device/DeviceDetector.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "device/QuitCounter.h"

namespace fq {

namespace {

bool ConnectsUnix(const std::string& path) {
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

bool ConnectsTcp(const std::string& host, const std::string& port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found) return false;
  bool ok = false;
  for (addrinfo* a = found; a && !ok; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    timeval timeout{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    ::close(fd);
  }
  ::freeaddrinfo(found);
  return ok;
}

}  // namespace

bool IsDeviceServiceReachable() {
  const char* address = std::getenv("USBMUXD_SOCKET_ADDRESS");
  if (!address || !*address) return ConnectsUnix("/var/run/usbmuxd");
  const std::string text(address);
  if (text.rfind("UNIX:", 0) == 0) return ConnectsUnix(text.substr(5));
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  return ConnectsTcp(text.substr(0, colon), text.substr(colon + 1));
}

std::string FormatDeviceText(const std::string& name, const std::string& deviceClass,
                             const std::string& version) {
  std::string text = name + "(" + deviceClass;
  if (!version.empty()) text += " " + version;
  return text + ")";
}

DeviceDetector::DeviceDetector(CDeviceBackupDriver& driver, std::function<bool()> softwareCheck,
                               int idleCheckMs)
    : m_driver(driver), m_softwareCheck(std::move(softwareCheck)), m_idleCheckMs(idleCheckMs) {}

DevicePanel DeviceDetector::CheckSoftware() {
  m_panel = m_softwareCheck() ? DevicePanel::NoConnection : DevicePanel::SoftwareMissing;
  return m_panel;
}

DevicePanel DeviceDetector::Tick() {
  if (!m_softwareCheck()) {
    // Whatever was attached before usbmuxd went away may not be what is
    // attached when it is back: the connection is made anew then.
    m_serviceLost = true;
    return m_panel = DevicePanel::SoftwareMissing;
  }
  // A held handle stays until the device is unplugged, also after a failed
  // Connect: the page retries only with a device plugged in anew. The panel
  // follows the held connection also after a Retry said otherwise.
  if (!m_serviceLost && m_driver.HasDevice() && m_driver.IsDeviceAttached()) {
    return m_panel = m_connected ? DevicePanel::Connected : DevicePanel::NoConnection;
  }
  m_serviceLost = false;

  m_willEncrypt = false;
  m_connected = false;
  QuitCounter().fetch_add(1);  // stops a backup whose device has gone
  // The backup notices the counter within one receive timeout, unless its
  // scan is paused: then only the user's resume or stop, or RequestStop at
  // exit, ends this wait. Short sleeps keep the stop prompt.
  constexpr int kStopCheckMs = 20;
  const int pause = std::max(1, m_idleCheckMs);
  while (!m_driver.IsIdle()) {
    for (int waited = 0; waited < pause; waited += kStopCheckMs) {
      if (m_stop.load()) return m_panel;
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kStopCheckMs, pause - waited)));
    }
  }
  if (m_stop.load()) return m_panel;

  m_driver.Disconnect();
  bool willEncrypt = false;
  if (m_driver.Connect(willEncrypt) != 0) return m_panel = DevicePanel::NoConnection;
  m_willEncrypt = willEncrypt;
  m_connected = true;

  std::string name, deviceClass, version;
  m_driver.GetDeviceName(name);
  m_driver.GetDeviceClass(deviceClass);
  m_driver.GetProductVersion(version);
  m_deviceText = FormatDeviceText(name, deviceClass, version);
  return m_panel = DevicePanel::Connected;
}

}  // namespace fq

#pragma once
// Starts and stops the simulated device (tools/simdevice) for one test, on a
// socket of its own, and reads back what the device saw.
#include <sys/types.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace fq::test {

class SimulatedDevice {
 public:
  // Starts `simdevice.py` with `arguments` and points libusbmuxd at it
  // (USBMUXD_SOCKET_ADDRESS). Check Started() before use. `socket` (default:
  // one in the scratch folder) lets a second device take over the socket of
  // one that was stopped, as a new phone behind the same usbmuxd.
  explicit SimulatedDevice(const std::vector<std::string>& arguments = {},
                           const std::filesystem::path& socket = {});
  ~SimulatedDevice();
  SimulatedDevice(const SimulatedDevice&) = delete;
  SimulatedDevice& operator=(const SimulatedDevice&) = delete;

  bool Started() const { return m_pid > 0; }
  const std::string& Error() const { return m_error; }
  void Stop();
  // The device leaves (usbmuxd lists nothing, its connections drop) and comes back.
  void Unplug();
  void Replug();

  // A scratch folder of this test, removed with the device.
  const std::filesystem::path& Scratch() const { return m_scratch; }
  std::string SocketAddress() const { return "UNIX:" + m_socket.string(); }

  // Every event the device logged so far, optionally only those of `kind`.
  std::vector<nlohmann::json> Events(const std::string& kind = {}) const;
  // The status replies the host sent for requests tagged `expect`.
  std::vector<nlohmann::json> Statuses(const std::string& expect) const;

  static constexpr const char* kUdid = "00008020-001a2b3c4d5e6f70";

 private:
  std::filesystem::path m_scratch;
  std::filesystem::path m_socket;
  pid_t m_pid = -1;
  int m_output = -1;
  std::string m_error;
};

}  // namespace fq::test

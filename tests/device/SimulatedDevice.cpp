#include "tests/device/SimulatedDevice.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

extern char** environ;

namespace fq::test {

namespace {

std::filesystem::path SimulatorScript() {
  return std::filesystem::path(FERNQUILL_SOURCE_DIR) / "tools" / "simdevice" / "simdevice.py";
}

// Reads from `fd` until "ready" arrives or `seconds` pass.
bool WaitForReady(int fd, int seconds) {
  std::string seen;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) continue;
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    seen.append(buffer, static_cast<size_t>(n));
    if (seen.find("ready\n") != std::string::npos) return true;
  }
  return false;
}

}  // namespace

SimulatedDevice::SimulatedDevice(const std::vector<std::string>& arguments,
                                 const std::filesystem::path& socket) {
  char pattern[] = "/tmp/fq-simdevice-XXXXXX";
  if (!::mkdtemp(pattern)) {
    m_error = "cannot make a scratch folder";
    return;
  }
  m_scratch = pattern;
  m_socket = socket.empty() ? m_scratch / "usbmuxd.sock" : socket;

  std::vector<std::string> argv = {"python3",   SimulatorScript().string(),     "--socket", m_socket.string(),
                                   "--workdir", (m_scratch / "device").string()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);

  int out[2];
  if (::pipe(out) != 0) {
    m_error = "pipe failed";
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, "python3", &actions, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    m_error = "cannot start python3";
    return;
  }
  m_pid = pid;
  // The pipe stays open until Stop: the device may still write to it.
  m_output = out[0];
  const bool ready = WaitForReady(m_output, 60);
  if (!ready) {
    m_error = "the simulated device did not start";
    Stop();
    return;
  }
  ::setenv("USBMUXD_SOCKET_ADDRESS", SocketAddress().c_str(), 1);
}

void SimulatedDevice::Stop() {
  if (m_output >= 0) ::close(m_output);
  m_output = -1;
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGTERM);
  for (int i = 0; i < 50; ++i) {
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ::kill(m_pid, SIGKILL);
  ::waitpid(m_pid, nullptr, 0);
  m_pid = -1;
}

namespace {

// Sends `signal` and waits until the device has logged `event`.
void Signal(pid_t pid, int signal, const SimulatedDevice& device, const char* event) {
  const size_t before = device.Events(event).size();
  ::kill(pid, signal);
  for (int i = 0; i < 100 && device.Events(event).size() == before; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

void SimulatedDevice::Unplug() {
  if (m_pid > 0) Signal(m_pid, SIGUSR1, *this, "unplug");
}

void SimulatedDevice::Replug() {
  if (m_pid > 0) Signal(m_pid, SIGUSR2, *this, "replug");
}

SimulatedDevice::~SimulatedDevice() {
  Stop();
  std::error_code ec;
  if (!m_scratch.empty()) std::filesystem::remove_all(m_scratch, ec);
}

std::vector<nlohmann::json> SimulatedDevice::Events(const std::string& kind) const {
  std::vector<nlohmann::json> events;
  std::ifstream in(m_scratch / "device" / "events.jsonl");
  std::string line;
  while (std::getline(in, line)) {
    auto event = nlohmann::json::parse(line, nullptr, false);
    if (event.is_discarded()) continue;
    if (kind.empty() || event.value("event", "") == kind) events.push_back(std::move(event));
  }
  return events;
}

std::vector<nlohmann::json> SimulatedDevice::Statuses(const std::string& expect) const {
  std::vector<nlohmann::json> statuses;
  for (auto& event : Events("status")) {
    if (event.value("expect", "") == expect) statuses.push_back(event);
  }
  return statuses;
}

}  // namespace fq::test

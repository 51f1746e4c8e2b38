#include "XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

namespace fq::app::test {

XvfbServer::XvfbServer(int width, int height) {
  std::array<int, 2> pipeFds{};
  if (pipe(pipeFds.data()) != 0) {
    m_failure = "no pipe";
    return;
  }
  // Xvfb writes the display number it chose to -displayfd once it accepts clients.
  const std::string fd = std::to_string(pipeFds[1]);
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  std::vector<std::string> args = {"Xvfb", "-displayfd", fd,    "-screen", "0",
                                   screen, "-nolisten",  "tcp", "-noreset"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const int spawned = posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    m_pid = -1;
    close(pipeFds[0]);
    m_failure = std::string("Xvfb cannot be started: ") + std::strerror(spawned);
    return;
  }
  std::string number;
  pollfd wait{pipeFds[0], POLLIN, 0};
  // Bounded: a server that does not come up within 20 s is given up.
  while (poll(&wait, 1, 20000) > 0) {
    char c = 0;
    if (read(pipeFds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(pipeFds[0]);
  if (number.empty()) {
    m_failure = "Xvfb did not report a display";
    return;
  }
  m_display = ":" + number;
}

XvfbServer::~XvfbServer() {
  if (m_pid <= 0) return;
  kill(m_pid, SIGTERM);
  int status = 0;
  while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace fq::app::test

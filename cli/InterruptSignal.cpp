#include "cli/InterruptSignal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace fq::cli {
namespace {

int g_pipe[2] = {-1, -1};
struct sigaction g_previous {};

void OnInterrupt(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

InterruptSignal::InterruptSignal() {
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  m_installed = ::sigaction(SIGINT, &action, &g_previous) == 0;
}

InterruptSignal::~InterruptSignal() {
  if (m_installed) ::sigaction(SIGINT, &g_previous, nullptr);
  for (int& fd : g_pipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

bool InterruptSignal::waitFor(std::chrono::milliseconds timeout) {
  if (!m_installed) {
    ::usleep(static_cast<useconds_t>(timeout.count() * 1000));
    return false;
  }
  pollfd fd{g_pipe[0], POLLIN, 0};
  const int ready = ::poll(&fd, 1, static_cast<int>(timeout.count()));
  if (ready <= 0) return false;
  char bytes[16];
  bool any = false;
  while (::read(g_pipe[0], bytes, sizeof bytes) > 0) any = true;
  return any;
}

}  // namespace fq::cli

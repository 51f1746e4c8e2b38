#include "engine/platform/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

extern char** environ;

namespace fq {
namespace {

void closeQuietly(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

struct SpawnActions {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  SpawnActions() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnActions() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
};

}  // namespace

ChildProcess::ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    if (running()) terminate();
    closeDescriptors();
    m_pid = std::exchange(other.m_pid, -1);
    m_input = std::exchange(other.m_input, -1);
    m_output = std::exchange(other.m_output, -1);
    m_exitStatus = std::exchange(other.m_exitStatus, std::nullopt);
  }
  return *this;
}

ChildProcess::~ChildProcess() {
  if (running()) terminate();
  closeDescriptors();
}

void ChildProcess::closeDescriptors() {
  closeQuietly(m_input);
  closeQuietly(m_output);
}

int32_t ChildProcess::start(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  if (m_pid > 0) return EBUSY;
  // The input is a socket pair rather than a pipe: send() with MSG_NOSIGNAL
  // cannot raise SIGPIPE in this process when the child has gone already.
  int input[2] = {-1, -1};
  int output[2] = {-1, -1};
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0) return errno;
  if (::pipe2(output, O_CLOEXEC) != 0) {
    const int err = errno;
    closeQuietly(input[0]);
    closeQuietly(input[1]);
    return err;
  }

  const std::string programText = program.string();
  std::vector<std::string> argv_storage;
  argv_storage.reserve(arguments.size() + 1);
  argv_storage.push_back(programText);
  argv_storage.insert(argv_storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(argv_storage.size() + 1);
  for (auto& a : argv_storage) argv.push_back(a.data());
  argv.push_back(nullptr);

  // dup2 clears close-on-exec on the child's copies; every other descriptor of
  // ours was opened close-on-exec and does not reach the child.
  SpawnActions spawn;
  posix_spawn_file_actions_adddup2(&spawn.actions, input[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&spawn.actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&spawn.actions, output[1], STDERR_FILENO);
  posix_spawnattr_setpgroup(&spawn.attributes, 0);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGINT);
  posix_spawnattr_setsigdefault(&spawn.attributes, &defaults);
  sigset_t noneBlocked;
  sigemptyset(&noneBlocked);
  posix_spawnattr_setsigmask(&spawn.attributes, &noneBlocked);
  posix_spawnattr_setflags(&spawn.attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t pid = -1;
  const int rc =
      ::posix_spawn(&pid, programText.c_str(), &spawn.actions, &spawn.attributes, argv.data(), environ);
  closeQuietly(input[1]);
  closeQuietly(output[1]);
  if (rc != 0) {
    closeQuietly(input[0]);
    closeQuietly(output[0]);
    return rc;
  }
  const int flags = ::fcntl(output[0], F_GETFL);
  if (flags >= 0) ::fcntl(output[0], F_SETFL, flags | O_NONBLOCK);
  m_pid = pid;
  m_input = input[0];
  m_output = output[0];
  m_exitStatus.reset();
  return 0;
}

int32_t ChildProcess::writeInputAndClose(std::string_view bytes) {
  if (m_input < 0) return EBADF;
  int32_t result = 0;
  while (!bytes.empty()) {
    const ssize_t n = ::send(m_input, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      // EPIPE: the child closed its input or ended; it will tell why on its output.
      if (errno != EPIPE && errno != ECONNRESET) result = errno;
      break;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  closeQuietly(m_input);
  return result;
}

ChildProcess::ReadStatus ChildProcess::readOutput(std::string& out, std::chrono::milliseconds wait,
                                                  size_t limit) {
  if (m_output < 0) return ReadStatus::EndOfOutput;
  pollfd pfd{m_output, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&pfd, 1, static_cast<int>(wait.count()));
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return ReadStatus::Failed;
  if (ready == 0) return ReadStatus::NothingYet;

  char buffer[4096];
  const size_t want = limit < sizeof(buffer) ? limit : sizeof(buffer);
  ssize_t n;
  do {
    n = ::read(m_output, buffer, want == 0 ? 1 : want);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return ReadStatus::NothingYet;
    return ReadStatus::Failed;
  }
  if (n == 0) {
    closeQuietly(m_output);
    return ReadStatus::EndOfOutput;
  }
  out.append(buffer, static_cast<size_t>(n));
  return ReadStatus::Data;
}

bool ChildProcess::reap(bool block) {
  if (m_pid <= 0) return true;
  if (m_exitStatus) return true;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return false;
  if (r < 0) {
    // Not our child any more (reaped elsewhere): treat it as ended.
    m_exitStatus = 128;
    return true;
  }
  if (WIFEXITED(status)) {
    m_exitStatus = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    m_exitStatus = 128 + WTERMSIG(status);
  } else {
    return false;
  }
  return true;
}

bool ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (reap(false)) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(2)));
  }
}

void ChildProcess::terminate(std::chrono::milliseconds grace) {
  if (!running()) return;
  ::kill(-m_pid, SIGTERM);
  ::kill(m_pid, SIGTERM);
  if (!waitForExit(grace)) {
    ::kill(-m_pid, SIGKILL);
    ::kill(m_pid, SIGKILL);
    reap(true);
  }
  closeDescriptors();
}

}  // namespace fq

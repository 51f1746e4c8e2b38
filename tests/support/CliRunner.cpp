#include "tests/support/CliRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

extern char** environ;

namespace fq::testsupport {
namespace {

std::string CliPath() { return (std::filesystem::path(FERNQUILL_BIN_DIR) / "fernquill-cli").string(); }

// The test's environment with `overrides` replacing or adding variables.
std::vector<std::string> Environment(const std::vector<std::pair<std::string, std::string>>& overrides) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& [name, value] : overrides) replaced |= entry.rfind(name + "=", 0) == 0;
    if (!replaced) env.push_back(entry);
  }
  for (const auto& [name, value] : overrides) env.push_back(name + "=" + value);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> raw;
  for (auto& t : texts) raw.push_back(t.data());
  raw.push_back(nullptr);
  return raw;
}

CliRun Spawn(std::vector<std::string> argv, const CliOptions& options) {
  CliRun run;
  std::vector<std::string> env = Environment(options.environment);
  auto rawArgs = Pointers(argv);
  auto rawEnv = Pointers(env);

  int in[2], out[2], err[2];
  // Close-on-exec: a program another thread starts meanwhile must not keep
  // this one's pipe ends open (its standard input would never end).
  if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC)) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
    posix_spawn_file_actions_addclose(&actions, fd);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, rawArgs[0], &actions, nullptr, rawArgs.data(), rawEnv.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (rc != 0) {
    for (int fd : {in[1], out[0], err[0]}) ::close(fd);
    return run;
  }
  // The program may exit without reading its input: a write must not kill the test.
  ::signal(SIGPIPE, SIG_IGN);
  if (!options.input.empty()) (void)!::write(in[1], options.input.data(), options.input.size());
  ::close(in[1]);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.seconds);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  while (open > 0 && std::chrono::steady_clock::now() < deadline) {
    if (::poll(fds, 2, 200) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? run.out : run.err).append(buffer, static_cast<size_t>(n));
      }
    }
  }
  if (open > 0) ::kill(pid, SIGKILL);
  for (auto& p : fds) {
    if (p.fd >= 0) ::close(p.fd);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args, const CliOptions& options) {
  std::vector<std::string> argv = {CliPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return Spawn(std::move(argv), options);
}

CliRun RunCli(const std::filesystem::path& scratch, const std::string& args, const std::string& input) {
  CliOptions options;
  options.input = input;
  // usbmuxd is pointed at a socket nobody listens on: no device is ever attached.
  options.environment = {{"XDG_DATA_HOME", (scratch / "xdg").string()},
                         {"TZ", "UTC0"},
                         {"USBMUXD_SOCKET_ADDRESS", "UNIX:" + (scratch / "no-usbmuxd.sock").string()}};
  // The shell splits the arguments as the tests write them; the CLI is its $0.
  return Spawn({"/bin/sh", "-c", "exec \"$0\" " + args, CliPath()}, options);
}

}  // namespace fq::testsupport

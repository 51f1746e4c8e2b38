#pragma once
// A helper program started without a shell: its standard input is ours to
// write once, its standard output and error come back merged through one
// non-blocking pipe, and it runs in its own process group so that stopping it
// also stops anything it started.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fq {

class ChildProcess {
 public:
  enum class ReadStatus { Data, NothingYet, EndOfOutput, Failed };

  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  // A child still running is terminated and reaped: none is ever left behind.
  ~ChildProcess();

  // Starts `program` with `arguments` (argv[1..]); 0 or the errno of the failure
  // (a missing or non-executable program fails here, not later).
  int32_t start(const std::filesystem::path& program, const std::vector<std::string>& arguments);

  bool running() const { return m_pid > 0 && !m_exitStatus; }

  // Writes all of `bytes` to the child's standard input, then closes it. A
  // child that already closed its input is not an error of ours: 0 or errno.
  int32_t writeInputAndClose(std::string_view bytes);

  // Waits up to `wait` for output and appends what is there (at most `limit`
  // bytes) to `out`.
  ReadStatus readOutput(std::string& out, std::chrono::milliseconds wait, size_t limit = 4096);

  // True once the child has ended (it is then reaped); waits up to `timeout`.
  bool waitForExit(std::chrono::milliseconds timeout);

  // The exit code, or 128 + signal number for a child killed by a signal;
  // empty while it runs.
  std::optional<int> exitStatus() const { return m_exitStatus; }

  // Asks the process group to stop, kills it after `grace`, and reaps the child.
  void terminate(std::chrono::milliseconds grace = std::chrono::milliseconds(500));

  pid_t pid() const { return m_pid; }

 private:
  void closeDescriptors();
  bool reap(bool block);

  pid_t m_pid = -1;
  int m_input = -1;
  int m_output = -1;
  std::optional<int> m_exitStatus;
};

}  // namespace fq

#include "engine/platform/ProcessState.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace fq {

int64_t CurrentProcessId() { return static_cast<int64_t>(::getpid()); }

bool ProcessIsAlive(int64_t pid) {
  // 0 and negative ids name process groups, never one process.
  if (pid <= 0 || pid != static_cast<int64_t>(static_cast<pid_t>(pid))) return false;
  // Signal 0 only checks: EPERM still means the process is there.
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace fq

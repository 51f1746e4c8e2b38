#include "app/CrashReport.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace fq::app {
namespace {

// Filled once at start, read by the handlers: no allocation when it matters.
struct CrashState {
  std::array<char, 4096> folder{};  // "<current folder>/D-Error"
  long utcOffset = 0;               // seconds east of UTC at start
};
CrashState g_state;  // signal handlers can reach nothing else

// Appends decimal `n` to `out` at `pos`, within `size`.
size_t appendNumber(char* out, size_t pos, size_t size, long n) {
  char digits[24];
  size_t count = 0;
  bool negative = n < 0;
  unsigned long v = negative ? 0UL - static_cast<unsigned long>(n) : static_cast<unsigned long>(n);
  do {
    digits[count++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v && count < sizeof digits);
  if (negative && pos + 1 < size) out[pos++] = '-';
  while (count && pos + 1 < size) out[pos++] = digits[--count];
  out[pos] = '\0';
  return pos;
}

size_t appendText(char* out, size_t pos, size_t size, const char* text) {
  while (*text && pos + 1 < size) out[pos++] = *text++;
  out[pos] = '\0';
  return pos;
}

// Local civil time without localtime(): days-from-epoch arithmetic.
std::tm civilTime(time_t t) {
  std::tm tm{};
  long long secs = static_cast<long long>(t);
  long long days = secs / 86400;
  long long rem = secs % 86400;
  if (rem < 0) {
    rem += 86400;
    --days;
  }
  tm.tm_hour = static_cast<int>(rem / 3600);
  tm.tm_min = static_cast<int>(rem % 3600 / 60);
  tm.tm_sec = static_cast<int>(rem % 60);
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const long long doe = days - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long d = doy - (153 * mp + 2) / 5 + 1;
  const long long m = mp < 10 ? mp + 3 : mp - 9;
  tm.tm_year = static_cast<int>(yoe + era * 400 + (m <= 2) - 1900);
  tm.tm_mon = static_cast<int>(m - 1);
  tm.tm_mday = static_cast<int>(d);
  return tm;
}

size_t formatName(char* out, size_t size, const std::tm& t) {
  size_t pos = 0;
  out[0] = '\0';
  const long parts[] = {t.tm_year + 1900L, t.tm_mon + 1L, t.tm_mday + 0L,
                        t.tm_hour + 0L,    t.tm_min + 0L, t.tm_sec + 0L};
  const char* separators[] = {"-", "-", "&", "-", "-", ".dmp"};
  for (size_t i = 0; i < 6; ++i) {
    pos = appendNumber(out, pos, size, parts[i]);
    pos = appendText(out, pos, size, separators[i]);
  }
  return pos;
}

void writeAll(int fd, const char* text) {
  size_t left = std::strlen(text);
  while (left) {
    const ssize_t n = ::write(fd, text, left);
    if (n <= 0) return;
    text += n;
    left -= static_cast<size_t>(n);
  }
}

const char* signalName(int signal) {
  switch (signal) {
    case SIGSEGV:
      return "SIGSEGV (invalid memory access)";
    case SIGBUS:
      return "SIGBUS (bus error)";
    case SIGFPE:
      return "SIGFPE (arithmetic fault)";
    case SIGILL:
      return "SIGILL (illegal instruction)";
    case SIGABRT:
      return "SIGABRT (aborted)";
    default:
      return "fatal signal";
  }
}

void onSignal(int signal) {
  WriteCrashReport(signalName(signal));
  // Default action, so the process ends the way the signal says.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void onTerminate() {
  const char* cause = "std::terminate";
  WriteCrashReport(cause);
  std::_Exit(EXIT_FAILURE);
}

}  // namespace

std::string CrashReportName(const std::tm& local) {
  char name[96];
  formatName(name, sizeof name, local);
  return name;
}

void InstallCrashReport() {
  char cwd[4000];
  if (::getcwd(cwd, sizeof cwd)) {
    size_t pos = appendText(g_state.folder.data(), 0, g_state.folder.size(), cwd);
    appendText(g_state.folder.data(), pos, g_state.folder.size(), "/D-Error");
  }
  const time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  g_state.utcOffset = local.tm_gmtoff;
  // The first backtrace() loads its unwinder; do that now, not in a handler.
  void* frames[4];
  ::backtrace(frames, 4);
  for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::signal(s, onSignal);
  std::set_terminate(onTerminate);
}

void WriteCrashReport(const char* cause) {
  if (g_state.folder[0] == '\0') return;
  ::mkdir(g_state.folder.data(), 0700);
  char path[4200];
  size_t pos = appendText(path, 0, sizeof path, g_state.folder.data());
  pos = appendText(path, pos, sizeof path, "/");
  formatName(path + pos, sizeof path - pos, civilTime(std::time(nullptr) + g_state.utcOffset));
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  writeAll(fd, "Fernquill crash report\ncause: ");
  writeAll(fd, cause ? cause : "unknown");
  writeAll(fd, "\nbacktrace:\n");
  void* frames[64];
  const int count = ::backtrace(frames, 64);
  ::backtrace_symbols_fd(frames, count, fd);
  ::close(fd);
}

}  // namespace fq::app

#include "cli/PasswordInput.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace fq::cli {
namespace {

constexpr size_t kMaxPassword = 1 << 16;

void dropLineBreak(std::string& text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
}

bool writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Puts the terminal's settings back however the read ends.
class EchoOff {
 public:
  explicit EchoOff(int fd) : m_fd(fd) {
    if (::tcgetattr(fd, &m_saved) != 0) return;
    termios quiet = m_saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL | ICANON;
    m_active = ::tcsetattr(fd, TCSANOW, &quiet) == 0;
  }
  ~EchoOff() {
    if (m_active) ::tcsetattr(m_fd, TCSANOW, &m_saved);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
  bool active() const { return m_active; }

 private:
  int m_fd;
  termios m_saved{};
  bool m_active = false;
};

}  // namespace

std::optional<std::string> ReadPasswordFrom(int fd) {
  std::string text;
  char buffer[1024];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > kMaxPassword) return std::nullopt;
  }
  dropLineBreak(text);
  return text;
}

std::optional<std::string> PromptPasswordOn(int ttyFd, const std::string& prompt) {
  if (!::isatty(ttyFd)) return std::nullopt;
  EchoOff echoOff(ttyFd);
  if (!echoOff.active()) return std::nullopt;
  if (!writeAll(ttyFd, prompt)) return std::nullopt;
  // One line, read a byte at a time so that nothing after it is consumed.
  std::string line;
  for (;;) {
    char c;
    const ssize_t n = ::read(ttyFd, &c, 1);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0 || c == '\n') break;
    line.push_back(c);
    if (line.size() > kMaxPassword) return std::nullopt;
  }
  dropLineBreak(line);
  return line;
}

std::optional<std::string> ReadBackupPassword(bool fromStdin, const std::string& prompt) {
  if (fromStdin) return ReadPasswordFrom(STDIN_FILENO);
  const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (tty < 0) return std::nullopt;
  auto password = PromptPasswordOn(tty, prompt);
  ::close(tty);
  return password;
}

}  // namespace fq::cli

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

#include "cli/PasswordInput.h"

namespace fq::cli {
namespace {

std::optional<std::string> readThroughPipe(const std::string& input) {
  int fds[2];
  if (::pipe(fds) != 0) return std::nullopt;
  EXPECT_EQ(::write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  ::close(fds[1]);
  auto password = ReadPasswordFrom(fds[0]);
  ::close(fds[0]);
  return password;
}

TEST(PasswordInput, StandardInputKeepsEverythingButOneFinalLineBreak) {
  const struct {
    std::string input, password;
  } cases[] = {
      {"secret\n", "secret"},
      {"secret", "secret"},
      {"two words\r\n", "two words"},
      {" padded \n", " padded "},
      {"a\nb\n", "a\nb"},
      {"\n", ""},
      {"", ""},
      {"ends\n\n", "ends\n"},
      {"ü€\n", "ü€"},
  };
  for (const auto& c : cases) {
    const auto got = readThroughPipe(c.input);
    ASSERT_TRUE(got) << c.input;
    EXPECT_EQ(*got, c.password) << c.input;
  }
}

TEST(PasswordInput, PromptDoesNotEchoAndRestoresTheTerminal) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) GTEST_SKIP() << "no pseudo-terminal available";
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios before{};
  ASSERT_EQ(::tcgetattr(slave, &before), 0);
  ASSERT_TRUE(before.c_lflag & ECHO);

  auto answer = std::async(std::launch::async, [slave] { return PromptPasswordOn(slave, "Password: "); });
  // Wait for the prompt, then type.
  std::string screen;
  char buffer[256];
  while (screen.find("Password: ") == std::string::npos) {
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    ASSERT_GT(n, 0);
    screen.append(buffer, static_cast<size_t>(n));
  }
  const std::string typed = "hunter 2\n";
  ASSERT_EQ(::write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  ASSERT_EQ(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  const auto password = answer.get();
  ASSERT_TRUE(password);
  EXPECT_EQ(*password, "hunter 2");

  // Only the line break came back to the screen, never the password.
  const int flags = ::fcntl(master, F_GETFL);
  ::fcntl(master, F_SETFL, flags | O_NONBLOCK);
  ssize_t n;
  while ((n = ::read(master, buffer, sizeof buffer)) > 0) screen.append(buffer, static_cast<size_t>(n));
  EXPECT_EQ(screen.find("hunter"), std::string::npos) << screen;

  termios after{};
  ASSERT_EQ(::tcgetattr(slave, &after), 0);
  EXPECT_TRUE(after.c_lflag & ECHO) << "echo is back on";
  ::close(slave);
  ::close(master);
}

TEST(PasswordInput, NoTerminalNoPrompt) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  EXPECT_FALSE(PromptPasswordOn(fds[0], "Password: "));
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace
}  // namespace fq::cli

#pragma once
// Runs the built fernquill-cli as a user runs it, with its application data
// in a scratch folder, a fixed time zone and no usbmuxd to talk to.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fq::testsupport {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline CliRun RunCli(const std::filesystem::path& scratch, const std::string& args, const std::string& stdinText = "") {
  const auto in = scratch / "stdin.txt";
  const auto out = scratch / "stdout.txt";
  const auto err = scratch / "stderr.txt";
  std::ofstream(in, std::ios::binary) << stdinText;
  // usbmuxd is pointed at a socket nobody listens on: no device is ever attached.
  const std::string command = "env XDG_DATA_HOME='" + (scratch / "xdg").string() + "' TZ=UTC0 " +
                              "USBMUXD_SOCKET_ADDRESS='UNIX:" + (scratch / "no-usbmuxd.sock").string() + "' '" +
                              (std::filesystem::path(FERNQUILL_BIN_DIR) / "fernquill-cli").string() + "' " + args +
                              " <'" + in.string() + "' >'" + out.string() + "' 2>'" + err.string() + "'";
  const int raw = std::system(command.c_str());
  CliRun result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadWholeFile(out);
  result.err = ReadWholeFile(err);
  return result;
}

}  // namespace fq::testsupport

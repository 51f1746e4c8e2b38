#pragma once
// Runs the built fernquill-cli as a user runs it and collects its exit status
// and both output streams. The one way every test program starts the CLI.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace fq::testsupport {

struct CliRun {
  int status = -1;  // the exit status; -1 when it did not exit by itself
  std::string out;
  std::string err;
};

struct CliOptions {
  std::string input;                                             // standard input
  std::vector<std::pair<std::string, std::string>> environment;  // set on top of the test's own
  int seconds = 120;                                             // then the program is killed
};

// fernquill-cli with `args` as its argument vector.
CliRun RunCli(const std::vector<std::string>& args, const CliOptions& options = {});

// fernquill-cli with `args` as a shell would split them (quote paths with '),
// its application data in `scratch`, a fixed time zone and no usbmuxd to talk to.
CliRun RunCli(const std::filesystem::path& scratch, const std::string& args, const std::string& input = "");

}  // namespace fq::testsupport

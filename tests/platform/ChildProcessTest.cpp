#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "engine/platform/ChildProcess.h"

namespace fq {
namespace {

using std::chrono::milliseconds;

// Everything the child writes until it closes its output.
std::string drain(ChildProcess& child) {
  std::string out;
  for (int i = 0; i < 2000; ++i) {
    const auto status = child.readOutput(out, milliseconds(10));
    if (status == ChildProcess::ReadStatus::EndOfOutput || status == ChildProcess::ReadStatus::Failed) break;
  }
  return out;
}

TEST(ChildProcess, InputOutputErrorAndExitStatus) {
  ChildProcess child;
  ASSERT_EQ(child.start("/bin/sh", {"-c", "cat; echo to-stderr >&2; exit 3"}), 0);
  EXPECT_EQ(child.writeInputAndClose("from stdin\n"), 0);
  EXPECT_EQ(drain(child), "from stdin\nto-stderr\n");
  ASSERT_TRUE(child.waitForExit(milliseconds(5000)));
  EXPECT_EQ(child.exitStatus(), 3);
  EXPECT_FALSE(child.running());
}

TEST(ChildProcess, ArgumentsAreNeverSplitOrInterpreted) {
  ChildProcess child;
  ASSERT_EQ(child.start("/bin/sh", {"-c", "printf '%s|' \"$@\"", "sh", "a b", "$HOME", "'q'", ""}), 0);
  child.writeInputAndClose("");
  EXPECT_EQ(drain(child), "a b|$HOME|'q'||");
}

TEST(ChildProcess, MissingProgramFailsAtStart) {
  ChildProcess child;
  EXPECT_EQ(child.start("/nonexistent/tool", {}), ENOENT);
  EXPECT_FALSE(child.running());
}

TEST(ChildProcess, WritingToAChildThatClosedItsInputDoesNotKillUs) {
  ChildProcess child;
  ASSERT_EQ(child.start("/bin/sh", {"-c", "exec 0<&-; sleep 0.1"}), 0);
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(child.writeInputAndClose(std::string(1 << 20, 'x')), 0);
  ASSERT_TRUE(child.waitForExit(milliseconds(5000)));
  EXPECT_EQ(child.exitStatus(), 0);
}

TEST(ChildProcess, TerminateStopsTheWholeGroupAndDestructionNeverLeavesOneRunning) {
  pid_t pid = -1;
  {
    ChildProcess child;
    ASSERT_EQ(child.start("/bin/sh", {"-c", "trap '' TERM; sleep 30 & wait; sleep 30"}), 0);
    pid = child.pid();
    std::string out;
    EXPECT_EQ(child.readOutput(out, milliseconds(20)), ChildProcess::ReadStatus::NothingYet);
    EXPECT_FALSE(child.waitForExit(milliseconds(20)));
    child.terminate(milliseconds(100));  // TERM is ignored: killed after the grace
    EXPECT_FALSE(child.running());
    EXPECT_EQ(child.exitStatus(), 128 + SIGKILL);
  }
  EXPECT_EQ(::kill(pid, 0), -1);

  {
    ChildProcess child;
    ASSERT_EQ(child.start("/bin/sleep", {"30"}), 0);
    pid = child.pid();
  }
  EXPECT_EQ(::kill(pid, 0), -1) << "the destructor reaps what it started";
}

}  // namespace
}  // namespace fq

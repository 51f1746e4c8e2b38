// The runner drives the built tool (and small stand-in scripts for the
// protocol's corner cases) as a separate process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/DecryptToolRunner.h"
#include "engine/backup/FileId.h"
#include "engine/platform/ChildProcess.h"
#include "tests/decrypt/CryptoTestSupport.h"
#include "tools/decrypt/EncryptedBackupWriter.h"
#include "tools/decrypt/Keybag.h"
#include "tools/decrypt/ManifestPlist.h"
#include "tools/decrypt/PlistHandle.h"

namespace fq {
namespace {

using decrypt::testsupport::ReadAll;
using decrypt::testsupport::ScratchFolder;
using decrypt::testsupport::Snapshot;

const std::filesystem::path kTool = std::filesystem::path(FERNQUILL_BIN_DIR) / "tool";

std::vector<decrypt::PlainFile> someFiles(int n) {
  std::vector<decrypt::PlainFile> files;
  for (int i = 0; i < n; ++i)
    files.push_back({"HomeDomain", "Library/f" + std::to_string(i),
                     std::vector<uint8_t>(1000 + i * 37, uint8_t(i)), 3, std::nullopt});
  return files;
}

std::filesystem::path writeScript(const ScratchFolder& dir, const std::string& name,
                                  const std::string& body) {
  const auto path = dir / name;
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  ::chmod(path.c_str(), 0755);
  return path;
}

// True when some process still has `needle` in its command line.
bool processMentioning(const std::string& needle) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream in(entry.path() / "cmdline", std::ios::binary);
    std::string cmd((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (cmd.find(needle) != std::string::npos) return true;
  }
  return false;
}

// Raises the keybag's DPIC so that deriving the key takes many seconds.
void slowDownKeyDerivation(const std::filesystem::path& manifestPath) {
  std::string error;
  auto manifest = decrypt::ReadManifestPlist(manifestPath, error);
  ASSERT_TRUE(manifest) << error;
  auto keybag = decrypt::ParseKeybag(manifest->backupKeyBag, error);
  ASSERT_TRUE(keybag) << error;
  keybag->dpIterations = 40'000'000;
  const auto bytes = decrypt::SerializeKeybag(*keybag);
  decrypt::PlistHandle root(plist_new_dict());
  plist_dict_set_item(root.get(), "BackupKeyBag",
                      plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  char* bin = nullptr;
  uint32_t length = 0;
  plist_to_bin(root.get(), &bin, &length);
  decrypt::testsupport::WriteAll(manifestPath, std::vector<uint8_t>(bin, bin + length));
  plist_to_bin_free(bin);
}

struct Recorder {
  std::vector<int32_t> reports;
  int32_t answerFrom = -1;  // answer 2 once a report reaches this percent
  ProgressCallback callback() {
    return [this](int32_t percent) {
      reports.push_back(percent);
      return answerFrom >= 0 && percent >= answerFrom ? kCancelled : kOk;
    };
  }
  // A session at 0 percent whose decryption is worth 10 points.
  ProgressState session() { return ProgressState{callback(), 0, 10}; }
};

class RunnerWithTool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kTool)) GTEST_SKIP() << "tool not built at " << kTool;
  }
};

TEST_F(RunnerWithTool, RightPasswordDecryptsWithProgress) {
  for (auto era : {decrypt::BackupEra::ManifestDb, decrypt::BackupEra::ManifestMbdb}) {
    ScratchFolder scratch;
    const auto backup = scratch / "my backup";
    const auto files = someFiles(40);
    decrypt::EncryptedBackupOptions options;
    options.era = era;
    options.password = "two words";
    ASSERT_EQ(decrypt::WriteEncryptedBackup(backup, files, options), kOk);
    const auto before = Snapshot(backup);

    Recorder progress;
    ProgressState session = progress.session();
    DecryptToolRequest request;
    request.toolPath = kTool;
    request.backupFolder = backup;
    request.decryptedFolder = scratch / "tmp backup" / "VelmoraSoftBackupPath";
    request.password = "two words";
    request.fileCount = static_cast<int64_t>(files.size());
    ASSERT_EQ(RunDecryptTool(request, session).code, kOk);

    for (const auto& f : files)
      EXPECT_EQ(ReadAll(request.decryptedFolder / FileIdOf(f.domain + "-" + f.relativePath)), f.bytes);
    EXPECT_EQ(session.current, 1);
    ASSERT_FALSE(progress.reports.empty());
    EXPECT_TRUE(std::is_sorted(progress.reports.begin(), progress.reports.end()));
    const auto firstNonZero =
        std::find_if(progress.reports.begin(), progress.reports.end(), [](int32_t p) { return p; });
    ASSERT_NE(firstNonZero, progress.reports.end());
    EXPECT_EQ(*firstNonZero, 1) << "the first Count: reports 1";
    EXPECT_EQ(progress.reports.back(), 11);
    EXPECT_LE(*std::max_element(progress.reports.begin(), progress.reports.end()), 11);
    EXPECT_EQ(Snapshot(backup), before);
  }
}

TEST_F(RunnerWithTool, WrongPasswordIsMinus110AndNothingIsWritten) {
  ScratchFolder scratch;
  decrypt::EncryptedBackupOptions options;
  options.password = "right";
  ASSERT_EQ(decrypt::WriteEncryptedBackup(scratch / "b", someFiles(3), options), kOk);
  Recorder progress;
  ProgressState session = progress.session();
  const DecryptToolRequest request{kTool, scratch / "b", scratch / "out", "wrong", 3};
  EXPECT_EQ(RunDecryptTool(request, session).code, kWrongPassword);
  EXPECT_TRUE(std::filesystem::is_empty(scratch / "out"));
}

TEST_F(RunnerWithTool, CancelWhileTheKeyIsDerivedStopsTheTool) {
  ScratchFolder scratch;
  decrypt::EncryptedBackupOptions options;
  options.password = "pw";
  ASSERT_EQ(decrypt::WriteEncryptedBackup(scratch / "slow-backup", someFiles(1), options), kOk);
  slowDownKeyDerivation(scratch / "slow-backup" / "Manifest.plist");
  Recorder progress;
  progress.answerFrom = 0;  // the user cancels at once
  ProgressState session = progress.session();
  const DecryptToolRequest request{kTool, scratch / "slow-backup", scratch / "out", "pw", 1};
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(RunDecryptTool(request, session).code, kCancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_FALSE(processMentioning((scratch / "slow-backup").string()));
}

TEST_F(RunnerWithTool, ToolCommandLineAndExitStatus) {
  ScratchFolder scratch;
  decrypt::EncryptedBackupOptions options;
  options.era = decrypt::BackupEra::ManifestMbdb;
  options.password = "pw";
  ASSERT_EQ(decrypt::WriteEncryptedBackup(scratch / "b", someFiles(2), options), kOk);
  struct Case {
    std::vector<std::string> arguments;
    std::string input;
    int status;
    const char* firstLine;
  };
  const Case cases[] = {
      {{(scratch / "b").string(), (scratch / "o1").string(), "pw"}, "", 0, "Count: 0"},
      {{(scratch / "b").string(), (scratch / "o2").string(), "-"}, "pw\n", 0, "Count: 0"},
      {{(scratch / "b").string(), (scratch / "o3").string(), "-"}, "pw ", 2, "Wrong password"},
      {{(scratch / "b").string(), (scratch / "o4").string(), "nope"}, "", 2, "Wrong password"},
      {{(scratch / "b").string()}, "", 1, "Error: usage: tool BACKUP_FOLDER OUTPUT_FOLDER PASSWORD|-"},
      {{(scratch / "absent").string(), (scratch / "o5").string(), "pw"},
       "",
       1,
       "Error: cannot read Manifest.plist"},
  };
  for (const auto& c : cases) {
    ChildProcess tool;
    ASSERT_EQ(tool.start(kTool, c.arguments), 0);
    tool.writeInputAndClose(c.input);
    std::string out;
    for (auto status = ChildProcess::ReadStatus::NothingYet;
         status != ChildProcess::ReadStatus::EndOfOutput && status != ChildProcess::ReadStatus::Failed;) {
      status = tool.readOutput(out, std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(tool.waitForExit(std::chrono::seconds(30)));
    EXPECT_EQ(tool.exitStatus(), c.status) << out;
    EXPECT_EQ(out.substr(0, out.find('\n')), c.firstLine);
  }
}

TEST(DecryptToolRunner, ToolThatCannotBeStartedIs87) {
  ScratchFolder scratch;
  std::ofstream(scratch / "not-executable") << "data";
  for (const auto& tool :
       {scratch / "absent", scratch.path(), scratch / "not-executable", std::filesystem::path()}) {
    const DecryptToolRequest request{tool, scratch.path(), scratch / "out", "pw", 1};
    ProgressState session{{}, 0, 10};
    const DecryptToolResult result = RunDecryptTool(request, session);
    EXPECT_EQ(result.code, kInvalid) << tool;
    EXPECT_EQ(result.reason, "the decrypt tool could not be started") << tool;
  }
}

TEST(DecryptToolRunner, ProtocolCornerCases) {
  ScratchFolder scratch;
  struct Case {
    const char* name;
    const char* script;
    int32_t result;
    std::vector<int32_t> reports;  // with fileCount 10, step 10, current 0
  };
  const Case cases[] = {
      {"Count then, in a later read, Wrong password",
       "echo 'Count: 2'; sleep 0.5; echo 'Wrong password'; exit 2",
       kWrongPassword,
       {1, 3, 11}},
      {"a line split across two writes",
       "printf 'Wrong pass'; sleep 0.2; printf 'word\\n'; exit 2",
       kWrongPassword,
       {10}},
      {"several Count lines in one read use the first", "printf 'Count: 5\\nCount: 9\\n'", kOk, {1, 6, 11}},
      {"a tool that fails without a word", "exit 1", kInvalid, {10}},
      {"a tool that ends without output", "exit 0", kOk, {10}},
      {"a tool that crashes after some progress", "echo 'Count: 4'; kill -SEGV $$", kInvalid, {1, 5, 11}},
      {"counts beyond the file count stay within the step",
       "echo 'Count: 999999999999999999999'",
       kOk,
       {1, 11}},
  };
  for (const auto& c : cases) {
    const auto tool = writeScript(scratch, "tool.sh", c.script);
    Recorder progress;
    ProgressState session = progress.session();
    const DecryptToolRequest request{tool, scratch.path(), scratch / "out", "pw", 10};
    EXPECT_EQ(RunDecryptTool(request, session).code, c.result) << c.name;
    // Silence is answered by asking again at the last percent; leave those out.
    std::vector<int32_t> reports;
    for (int32_t p : progress.reports)
      if (p != 0 && (reports.empty() || reports.back() != p)) reports.push_back(p);
    EXPECT_EQ(reports, c.reports) << c.name;
  }
}

// A failed tool's reason is what the user reads: its own "Error:" line when
// it gave one, else how it ended.
TEST(DecryptToolRunner, AFailedToolSaysWhy) {
  ScratchFolder scratch;
  struct Case {
    const char* script;
    int32_t code;
    const char* reason;
  };
  const Case cases[] = {
      {"echo 'Count: 1'; echo 'Error: the keybag is damaged'; exit 1", kInvalid,
       "the decrypt tool failed: the keybag is damaged"},
      {"printf 'Error: first\\r\\nCount: 2\\nError: disk full\\n'; exit 1", kInvalid,
       "the decrypt tool failed: disk full"},
      {"echo 'an Error: not at the start of a line'; exit 3", kInvalid,
       "the decrypt tool ended with status 3"},
      {"echo 'Error: '; exit 1", kInvalid, "the decrypt tool ended with status 1"},
      {"echo 'Error: said, but the tool succeeded'; exit 0", kOk, ""},
      {"echo 'Error: key'; echo 'Wrong password'; exit 2", kWrongPassword, ""},
  };
  for (const auto& c : cases) {
    const auto tool = writeScript(scratch, "tool.sh", c.script);
    ProgressState session{{}, 0, 10};
    const DecryptToolResult result =
        RunDecryptTool(DecryptToolRequest{tool, scratch.path(), scratch / "out", "pw", 1}, session);
    EXPECT_EQ(result.code, c.code) << c.script;
    EXPECT_EQ(result.reason, c.reason) << c.script;
  }
}

TEST_F(RunnerWithTool, TheRealToolsErrorIsTheReason) {
  ScratchFolder scratch;
  std::filesystem::create_directories(scratch / "no manifest");
  ProgressState session{{}, 0, 10};
  const DecryptToolResult result =
      RunDecryptTool(DecryptToolRequest{kTool, scratch / "no manifest", scratch / "out", "pw", 1}, session);
  EXPECT_EQ(result.code, kInvalid);
  EXPECT_EQ(result.reason, "the decrypt tool failed: cannot read Manifest.plist");
}

TEST(DecryptToolRunner, FoldersAreWholeArgumentsAndThePasswordComesOnStandardInput) {
  ScratchFolder scratch;
  const auto tool = writeScript(scratch, "echo tool",
                                "echo \"$#\" > \"$2/argc\"; printf '%s' \"$1\" > \"$2/arg1\"; "
                                "printf '%s' \"$3\" > \"$2/arg3\"; cat > \"$2/password\"");
  const auto backup = scratch / "a backup; rm -rf x";
  const auto out = scratch / "decrypted folder";
  const std::string password = "pass word \"quoted\" $HOME `id` ü";
  const DecryptToolRequest request{tool, backup, out, password, 1};
  ProgressState session{{}, 0, 10};
  ASSERT_EQ(RunDecryptTool(request, session).code, kOk);
  EXPECT_EQ(ReadAll(out / "argc"), decrypt::testsupport::Bytes("3\n"));
  EXPECT_EQ(ReadAll(out / "arg1"), decrypt::testsupport::Bytes(backup.string()));
  EXPECT_EQ(ReadAll(out / "arg3"), decrypt::testsupport::Bytes("-"));
  EXPECT_EQ(ReadAll(out / "password"), decrypt::testsupport::Bytes(password));
}

TEST(DecryptToolRunner, CancelTerminatesTheToolAndWhatItStarted) {
  ScratchFolder scratch;
  const auto tool = writeScript(scratch, "busy",
                                "echo $$ > \"$2/pid\"; sleep 30 & echo $! > \"$2/child\"; "
                                "echo 'Count: 1'; wait");
  Recorder progress;
  progress.answerFrom = 1;
  ProgressState session = progress.session();
  const DecryptToolRequest request{tool, scratch.path(), scratch / "out", "pw", 10};
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(RunDecryptTool(request, session).code, kCancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  for (const char* name : {"pid", "child"}) {
    std::ifstream in(scratch / "out" / name);
    pid_t pid = 0;
    ASSERT_TRUE(in >> pid) << name;
    // The tool is reaped by the runner; its sleeping child dies with the group
    // (the shell of this test reaps it, or it is a zombie no more than briefly).
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i) {
      std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
      std::string line;
      gone = !std::getline(stat, line) || line.find(") Z ") != std::string::npos;
      if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(gone) << name << " " << pid << " still runs";
  }
}

}  // namespace
}  // namespace fq

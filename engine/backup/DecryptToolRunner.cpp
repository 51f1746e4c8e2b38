#include "engine/backup/DecryptToolRunner.h"

#include <algorithm>
#include <chrono>
#include <string_view>
#include <system_error>

#include "engine/ResultCodes.h"
#include "engine/platform/ChildProcess.h"

namespace fq {
namespace {

using std::chrono::milliseconds;

// The number right after the first "Count:" of `text`, when there is one.
bool firstCount(std::string_view text, int64_t& count) {
  const size_t at = text.find("Count:");
  if (at == std::string_view::npos) return false;
  size_t i = at + 6;
  while (i < text.size() && text[i] == ' ') ++i;
  int64_t value = 0;
  int digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 18; ++i, ++digits)
    value = value * 10 + (text[i] - '0');
  count = value;
  return true;
}

}  // namespace

int32_t RunDecryptTool(const DecryptToolRequest& request) {
  int32_t localCurrent = 0;
  int32_t& current = request.progressCurrent ? *request.progressCurrent : localCurrent;
  int32_t lastReported = current;
  const auto report = [&](int32_t percent) {
    lastReported = percent;
    return request.progress ? request.progress(percent) : 0;
  };

  std::error_code ec;
  if (request.toolPath.empty() || !std::filesystem::is_regular_file(request.toolPath, ec)) return kInvalid;
  if (request.decryptedFolder.empty()) return kInvalid;
  std::filesystem::create_directories(request.decryptedFolder, ec);
  if (ec) return kInvalid;

  // An argument vector, no shell: folders with spaces stay whole, and the
  // password travels on standard input ("-"), never in the process list.
  ChildProcess tool;
  if (tool.start(request.toolPath, {request.backupFolder.string(), request.decryptedFolder.string(), "-"}) !=
      0)
    return kInvalid;
  tool.writeInputAndClose(request.password);

  const int64_t files = std::max<int64_t>(request.fileCount, 1);
  int32_t result = kOk;
  std::string pending;  // output not yet ended by a newline
  int countdown = 100;  // reads allowed after the tool ended, to drain its output
  auto quietSince = std::chrono::steady_clock::now();

  for (;;) {
    std::string chunk;
    const auto status = tool.readOutput(chunk, milliseconds(5));
    if (status == ChildProcess::ReadStatus::NothingYet) {
      if (tool.waitForExit(milliseconds(0)) && --countdown < 0) break;
      // A silent tool (deriving the key takes seconds) must not make a cancel
      // wait: ask the callback again, at the percent already reported.
      if (std::chrono::steady_clock::now() - quietSince >= milliseconds(100)) {
        quietSince = std::chrono::steady_clock::now();
        if (const int32_t answer = report(lastReported); answer != 0) {
          result = answer;
          break;
        }
      }
      continue;
    }
    if (status != ChildProcess::ReadStatus::Data) break;
    quietSince = std::chrono::steady_clock::now();

    // Only whole lines count, so a line split between two reads is still seen.
    pending += chunk;
    const size_t lineEnd = pending.rfind('\n');
    if (lineEnd == std::string::npos && pending.size() < 65536) continue;
    const size_t used = lineEnd == std::string::npos ? pending.size() : lineEnd + 1;
    const std::string text = pending.substr(0, used);
    pending.erase(0, used);

    if (text.find("Wrong password") != std::string::npos) {
      result = kWrongPassword;
      break;
    }
    int64_t count = 0;
    if (firstCount(text, count)) {
      if (current == 0) {
        current = 1;
        if (const int32_t answer = report(1); answer != 0) {
          result = answer;
          break;
        }
      }
    }
    count = std::clamp<int64_t>(count, 0, files);
    const int64_t percent = current + static_cast<int64_t>(request.step) * count / files;
    if (const int32_t answer = report(static_cast<int32_t>(percent)); answer != 0) {
      result = answer;
      break;
    }
  }

  if (result != kOk) {
    // Stopped early: the tool must not go on writing a copy nobody reads.
    tool.terminate();
  } else if (!tool.waitForExit(milliseconds(10000))) {
    tool.terminate();
    result = kInvalid;
  } else if (tool.exitStatus().value_or(1) != 0) {
    // A tool that failed (damaged keybag, disk full) has not decrypted the backup.
    result = kInvalid;
  }

  report(current + request.step);
  return result;
}

}  // namespace fq

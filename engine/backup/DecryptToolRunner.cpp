#include "engine/backup/DecryptToolRunner.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

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

// The text after the last "Error: " that starts a line of `text`, when there is one.
std::string_view lastError(std::string_view text) {
  constexpr std::string_view kMarker = "Error: ";
  constexpr size_t kLongest = 300;  // a reason, not a log
  std::string_view found;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with(kMarker) && line.size() > kMarker.size())
      found = line.substr(kMarker.size(), kLongest);
    start = end + 1;
  }
  return found;
}

}  // namespace

DecryptToolResult RunDecryptTool(const DecryptToolRequest& request, ProgressState& progress) {
  int32_t& current = progress.current;
  int32_t lastReported = current;
  const auto report = [&](int32_t percent) {
    lastReported = percent;
    return progress.report(percent);
  };
  const auto notStarted = [] { return DecryptToolResult{kInvalid, "the decrypt tool could not be started"}; };

  std::error_code ec;
  if (request.toolPath.empty() || !std::filesystem::is_regular_file(request.toolPath, ec))
    return notStarted();
  if (request.decryptedFolder.empty()) return notStarted();
  std::filesystem::create_directories(request.decryptedFolder, ec);
  if (ec) return {kInvalid, "the folder for the decrypted copy could not be created: " + ec.message()};

  // An argument vector, no shell: folders with spaces stay whole, and the
  // password travels on standard input ("-"), never in the process list.
  ChildProcess tool;
  if (tool.start(request.toolPath, {request.backupFolder.string(), request.decryptedFolder.string(), "-"}) !=
      0)
    return notStarted();
  tool.writeInputAndClose(request.password);

  const int64_t files = std::max<int64_t>(request.fileCount, 1);
  int32_t result = kOk;
  std::string toolError;  // the tool's last "Error:" text
  std::string pending;    // output not yet ended by a newline
  int countdown = 100;    // reads allowed after the tool ended, to drain its output
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
    if (const std::string_view error = lastError(text); !error.empty()) toolError = error;

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
    const int64_t percent = current + static_cast<int64_t>(progress.step) * count / files;
    if (const int32_t answer = report(static_cast<int32_t>(percent)); answer != 0) {
      result = answer;
      break;
    }
  }

  std::string reason;
  if (result != kOk) {
    // Stopped early: the tool must not go on writing a copy nobody reads.
    tool.terminate();
  } else if (!tool.waitForExit(milliseconds(10000))) {
    tool.terminate();
    result = kInvalid;
    reason = "the decrypt tool did not end";
  } else if (const int status = tool.exitStatus().value_or(1); status != 0) {
    // A tool that failed (damaged keybag, disk full) has not decrypted the backup.
    result = kInvalid;
    reason = toolError.empty() ? "the decrypt tool ended with status " + std::to_string(status)
                               : "the decrypt tool failed: " + toolError;
  }

  report(current + progress.step);
  return {result, std::move(reason)};
}

}  // namespace fq

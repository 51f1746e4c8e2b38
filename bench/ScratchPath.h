#pragma once
// A per-process scratch path under the temporary folder for a benchmark's
// generated input. Files and folders of the same prefix left by benchmark
// processes that are gone (killed before their exit handlers ran) are removed
// first, so interrupted runs do not pile up gigabytes in the temporary folder.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace fq::bench {

inline std::filesystem::path ScratchPath(std::string_view prefix, std::string_view suffix = {}) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
    const auto pid = static_cast<pid_t>(std::atol(digits.c_str()));
    // Only a process that no longer exists: another user's or a running one stays.
    if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH) {
      std::error_code ignored;
      std::filesystem::remove_all(it->path(), ignored);
    }
  }
  return folder / (std::string(prefix) + std::to_string(getpid()) + std::string(suffix));
}

}  // namespace fq::bench

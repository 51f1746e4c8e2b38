#pragma once
// Each run of the program works in its own folder ("run-<process id>") below
// the decrypted backup folder and the work folder, so runs side by side never
// share a decrypted copy or a preview file. A run removes its own at its end;
// one that crashed leaves them to a later start, which removes every run
// folder whose process no longer runs.
#include <filesystem>
#include <string>
#include <string_view>

namespace fq {

inline constexpr std::string_view kRunFolderPrefix = "run-";

// This process's run folder name.
std::string RunFolderName();

// Removes the run folders directly in `parent` whose process no longer runs
// (never this process's); anything else in `parent` stays.
void RemoveStaleRunFolders(const std::filesystem::path& parent);

}  // namespace fq

#pragma once
// The folder the program was opened with (a file manager's "open with", the
// desktop entry's %f) decides which backups the window lists.
#include <filesystem>

namespace fq::app {

// A backup folder lists with the backups beside it (its parent becomes the
// root); any other folder is taken as a folder of backups; no folder, or not a
// folder, keeps `fallback` (the user's own backup root).
std::filesystem::path ChooseBackupRoot(const std::filesystem::path& given, std::filesystem::path fallback);

}  // namespace fq::app

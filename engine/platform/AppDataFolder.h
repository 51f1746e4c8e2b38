#pragma once
// The user's roaming application-data folder: $XDG_DATA_HOME, or ~/.local/share.
#include <filesystem>

namespace fq {

// Empty when neither $XDG_DATA_HOME (absolute) nor a home folder can be had.
std::filesystem::path RoamingAppDataFolder();

}  // namespace fq

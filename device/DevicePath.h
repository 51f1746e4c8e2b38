#pragma once
// Where a device-supplied relative name lands inside the backup root. The
// device names every file it stores, moves or removes; a broken or hostile one
// could name "../.." or an absolute path, so names are confined to the root.
#include <filesystem>
#include <optional>
#include <string_view>

namespace fq {

// The local path of `name` under `root`, or nothing when the name is empty,
// absolute, holds a NUL, names the root itself or leaves it after
// normalisation, also by way of a symbolic link that already exists under it.
std::optional<std::filesystem::path> ResolveDevicePath(const std::filesystem::path& root,
                                                       std::string_view name);

}  // namespace fq

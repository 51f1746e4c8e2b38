#pragma once
// The Info.plist that the backup driver writes beside a fresh device backup,
// from the device's lockdown values and a few files read over AFC.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/PlistPtr.h"

namespace fq {

// Contents of one AFC file, or nothing when it could not be read whole.
using AfcFileReader = std::function<std::optional<std::vector<char>>(const std::string& path)>;

// The Info.plist dictionary; empty when `lockdownValues` is not a dictionary.
// `itunesSettings` is the lockdown domain "com.apple.iTunes" (may be null);
// `backupTime` is in seconds since 1970.
PlistPtr BuildInfoPlist(plist_t lockdownValues, plist_t itunesSettings, const std::string& udid,
                        int64_t backupTime, const AfcFileReader& readAfcFile);

}  // namespace fq

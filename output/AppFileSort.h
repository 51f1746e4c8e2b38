#pragma once
// The split of the scan's application files into the App Photos and App Videos
// categories, each a map from application name to its files.
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/FileRecords.h"

namespace fq {

using AppFolders = std::map<std::string, std::vector<const AppFileRecord*>>;

struct AppFileSplit {
  AppFolders photos;
  AppFolders videos;
};

// True when the lower-cased text after the last "." of `name` is in the video or
// audio list; pictures, unknown extensions and names without a dot are photos.
bool IsAppVideoName(std::string_view name);

// Points into `files`, which must outlive the result.
AppFileSplit SortAppFiles(std::span<const AppFileRecord> files);

}  // namespace fq

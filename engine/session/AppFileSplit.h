#pragma once
// Application files as the view shows them: "App Photos" and "App Videos",
// each mapping an application name to its files.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/FileRecords.h"

namespace fq {

struct AppFileSplit {
  std::map<std::string, std::vector<AppFileRecord>> photos;
  std::map<std::string, std::vector<AppFileRecord>> videos;
};

// A name whose extension (lower-cased) is a video or audio extension is a
// video; every other name, with or without an extension, is a photo.
bool IsAppVideoName(std::string_view name);

AppFileSplit SplitAppFiles(const std::vector<AppFileRecord>& files);

}  // namespace fq

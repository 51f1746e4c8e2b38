#include "engine/session/AppFileSplit.h"

#include "engine/format/ExtensionLists.h"

namespace fq {

bool IsAppVideoName(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string extension(name.substr(dot + 1));
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (IsListedExtension(kPictureExtensions, extension)) return false;
  return IsListedExtension(kVideoExtensions, extension) || IsListedExtension(kAudioExtensions, extension);
}

AppFileSplit SplitAppFiles(const std::vector<AppFileRecord>& files) {
  AppFileSplit split;
  for (const auto& file : files) {
    auto& side = IsAppVideoName(file.name) ? split.videos : split.photos;
    side[file.appName].push_back(file);
  }
  return split;
}

}  // namespace fq

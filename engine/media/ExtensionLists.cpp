#include "engine/media/ExtensionLists.h"

namespace fq {

bool ListHasExtension(std::string_view list, std::string_view extension) {
  if (extension.empty()) return false;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find('|', start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view entry = list.substr(start, end - start);
    if (entry.starts_with("*.")) entry.remove_prefix(2);
    if (entry == extension) return true;
    start = end + 1;
  }
  return false;
}

std::string_view ExtensionOf(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

AppFileCategories SplitAppFiles(const std::vector<AppFileRecord>& files) {
  AppFileCategories categories;
  for (const auto& file : files) {
    std::string extension(ExtensionOf(file.name));
    for (char& c : extension) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    const bool video = !ListHasExtension(kPictureList, extension) &&
                       (ListHasExtension(kVideoList, extension) || ListHasExtension(kAudioList, extension));
    (video ? categories.videos : categories.photos)[file.appName].push_back(file);
  }
  return categories;
}

}  // namespace fq

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

}  // namespace fq

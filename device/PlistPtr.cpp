#include "device/PlistPtr.h"

#include <cstdlib>

namespace fq {

std::optional<std::string> PlistString(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  char* value = nullptr;
  plist_get_string_val(node, &value);
  if (!value) return std::nullopt;
  std::string out(value);
  std::free(value);
  return out;
}

std::optional<std::string> PlistDictString(plist_t dict, const char* key) {
  if (!dict || plist_get_node_type(dict) != PLIST_DICT) return std::nullopt;
  return PlistString(plist_dict_get_item(dict, key));
}

}  // namespace fq

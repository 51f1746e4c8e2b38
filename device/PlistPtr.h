#pragma once
// Owning handle of a libplist node: freed with plist_free when it goes.
#include <plist/plist.h>

#include <memory>
#include <optional>
#include <string>

namespace fq {

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// The string value of `node`, or nothing when it is not a string node.
std::optional<std::string> PlistString(plist_t node);
// The string item `key` of dictionary `dict`, or nothing.
std::optional<std::string> PlistDictString(plist_t dict, const char* key);

}  // namespace fq

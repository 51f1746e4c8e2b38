#pragma once
// Owning handle for a libplist node tree.
#include <plist/plist.h>

#include <cstdint>
#include <memory>
#include <span>

namespace fq::decrypt {

struct PlistFree {
  void operator()(plist_t p) const { plist_free(p); }
};
using PlistHandle = std::unique_ptr<void, PlistFree>;

// A binary or XML property list; null when `bytes` is neither (or too large).
PlistHandle ParsePlist(std::span<const uint8_t> bytes);

}  // namespace fq::decrypt

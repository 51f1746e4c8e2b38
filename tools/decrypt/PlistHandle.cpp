#include "tools/decrypt/PlistHandle.h"

#include <cstring>
#include <limits>

namespace fq::decrypt {

PlistHandle ParsePlist(std::span<const uint8_t> bytes) {
  if (bytes.size() < 8 || bytes.size() > std::numeric_limits<uint32_t>::max()) return nullptr;
  plist_t root = nullptr;
  const auto* data = reinterpret_cast<const char*>(bytes.data());
  const auto length = static_cast<uint32_t>(bytes.size());
  if (std::memcmp(data, "bplist00", 8) == 0) {
    plist_from_bin(data, length, &root);
  } else {
    plist_from_xml(data, length, &root);
  }
  return PlistHandle(root);
}

}  // namespace fq::decrypt

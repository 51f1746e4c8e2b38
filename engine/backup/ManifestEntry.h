#pragma once
// One stored file of a backup as its manifest lists it.
#include <string>

namespace fq {

struct ManifestEntry {
  std::string key;     // domain, "-", relative path (UTF-8 bytes as stored)
  std::string fileId;  // 40 lowercase hexadecimal digits
  bool operator==(const ManifestEntry&) const = default;
};

}  // namespace fq

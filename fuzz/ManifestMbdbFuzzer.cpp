// Any bytes as a Manifest.mbdb: the parser must end cleanly, never read past.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/backup/ManifestMbdb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<fq::ManifestEntry> entries;
  fq::ParseManifestMbdb(std::span<const uint8_t>(data, size), entries);
  return 0;
}

// Any bytes as a Manifest.mbdb: the parser must end cleanly, never read past
// its buffer, and keep only entries it could read whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/FileId.h"
#include "engine/backup/ManifestMbdb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<fq::ManifestEntry> entries;
  const int32_t result = fq::ParseManifestMbdb(std::span<const uint8_t>(data, size), entries);
  if (result != fq::kOk && result != fq::kInvalid) std::abort();
  if (result == fq::kInvalid && !entries.empty()) std::abort();
  for (const auto& entry : entries) {
    // A kept entry has both key halves, and its id is the digest of its key.
    if (entry.key.size() < 3 || entry.key.size() > size) std::abort();
    if (entry.fileId != fq::FileIdOf(entry.key)) std::abort();
  }
  return 0;
}

// Any bytes as the head of a stored file and as a manifest key: recognition
// never reads past the bytes, and the names the scans derive from a key never
// carry a path (they become file and folder names of the output).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "engine/backup/FileId.h"
#include "engine/media/FileType.h"
#include "engine/media/ManifestScans.h"

namespace {

bool IsSafeName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto type = fq::DetectFileTypeOfBytes(std::span<const uint8_t>(data, size));
  const std::string_view key(reinterpret_cast<const char*>(data), size);
  const fq::ManifestEntry entry{std::string(key), fq::FileIdOf(key)};
  for (bool keepOwnExtension : {false, true}) {
    if (!IsSafeName(fq::StoredFileName(entry, type.value_or("jpg"), keepOwnExtension))) std::abort();
  }
  for (fq::ScanSource source : {fq::ScanSource::Store, fq::ScanSource::Device}) {
    const std::string app = fq::AppNameOf(key, source);
    if (!IsSafeName(app) || app.find('\\') != std::string::npos) std::abort();
  }
  return 0;
}

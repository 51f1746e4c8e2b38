// Info.plist reading (both forms) and backup-date conversion on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/backup/BackupDiscovery.h"
#include "engine/platform/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (std::FILE* file = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb")) {
    fq::BackupInfo info;
    fq::ReadInfoPlist(file, info);
    std::fclose(file);
    // The display name is always well-formed UTF-8, whatever the file held.
    if (fq::ToValidUtf8(info.displayName) != info.displayName) __builtin_trap();
  }
  (void)fq::ConvertBackupDate(std::string_view(bytes).substr(0, 64));
  return 0;
}

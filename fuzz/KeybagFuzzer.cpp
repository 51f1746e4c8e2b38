// Any bytes as the encrypted-backup inputs the decrypt tool parses. The first
// byte picks the parser: a backup keybag (then unwrapped with a fixed key),
// an MBFile keyed archive, Manifest.plist, or the key records of Manifest.mbdb.
// Each must end cleanly, never read past its input, never hang.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/decrypt/ClassKeys.h"
#include "tools/decrypt/Keybag.h"
#include "tools/decrypt/ManifestPlist.h"
#include "tools/decrypt/MbFile.h"
#include "tools/decrypt/MbdbFileKeys.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace fq::decrypt;
  if (size == 0) return 0;
  const std::span<const uint8_t> rest(data + 1, size - 1);
  std::string error;
  switch (data[0] % 4) {
    case 0:
      if (const auto bag = ParseKeybag(rest, error)) {
        SerializeKeybag(*bag);
        ClassKeys keys;
        keys.unlock(*bag, Key256{});
      }
      break;
    case 1:
      DecodeMbFile(rest);
      break;
    case 2:
      ParseManifestPlist(rest, error);
      break;
    case 3: {
      std::vector<MbdbFileKey> files;
      ParseMbdbFileKeys(rest, files);
      break;
    }
  }
  return 0;
}

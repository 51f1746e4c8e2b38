#pragma once
// The keys of one encrypted backup made the way a phone makes them: class
// keys wrapped under the password key in a backup keybag, and a fresh key per
// file wrapped under its class key. Writers of encrypted test backups seal
// each stored file and the manifest with it.
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string_view>

#include "tools/decrypt/AesKeyWrap.h"
#include "tools/decrypt/Keybag.h"

namespace fq::decrypt {

class BackupKeySet {
 public:
  struct Sealed {
    Bytes content;  // AES-256-CBC, zero IV, PKCS#7
    Bytes keyBlob;  // 4-byte little-endian class + the wrapped file key
  };

  // Fresh random keys for classes 1 to 11. `modern` adds the iOS 10.2 pass
  // (DPSL/DPIC). Empty when an iteration count is 0 or out of range.
  static std::optional<BackupKeySet> Create(std::string_view password, bool modern, uint32_t iterations,
                                            uint32_t dpIterations);

  const Keybag& keybag() const { return m_keybag; }
  Bytes keybagBytes() const { return SerializeKeybag(m_keybag); }

  // `plain` under a fresh key of `protectionClass`; empty for an unknown class.
  std::optional<Sealed> seal(uint32_t protectionClass, std::span<const uint8_t> plain) const;
  // Manifest.db: sealed under class 4; the key blob is Manifest.plist's ManifestKey.
  std::optional<Sealed> sealManifest(std::span<const uint8_t> plainDatabase) const {
    return seal(4, plainDatabase);
  }

 private:
  Keybag m_keybag;
  std::map<uint32_t, Key256> m_classKeys;
};

}  // namespace fq::decrypt

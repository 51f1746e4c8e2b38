#pragma once
// The backup keybag of Manifest.plist: a flat list of tagged records (4-byte
// ASCII tag, 4-byte big-endian length, value) holding the key-derivation
// parameters and one wrapped key per protection class.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fq::decrypt {

using Bytes = std::vector<uint8_t>;

struct KeybagClass {
  uint32_t protectionClass = 0;  // CLAS
  uint32_t wrap = 0;             // WRAP: bit 2 set = wrapped with the password key
  uint32_t keyType = 0;          // KTYP
  Bytes uuid;                    // UUID
  Bytes wrappedKey;              // WPKY
  Bytes publicKey;               // PBKY, asymmetric classes only
};

struct Keybag {
  uint32_t version = 0;     // VERS
  uint32_t type = 0;        // TYPE (1 = backup)
  Bytes uuid;               // the keybag's own UUID
  Bytes hmacKey;            // HMCK
  uint32_t wrap = 0;        // WRAP
  Bytes salt;               // SALT
  uint32_t iterations = 0;  // ITER, PBKDF2-HMAC-SHA1 rounds
  // Since iOS 10.2: a PBKDF2-HMAC-SHA256 pass comes first (DPSL, DPIC, DPWT).
  std::optional<Bytes> dpSalt;  // DPSL
  uint32_t dpIterations = 0;    // DPIC
  uint32_t dpWrap = 0;          // DPWT
  std::vector<KeybagClass> classes;

  const KeybagClass* findClass(uint32_t protectionClass) const;
};

// Iteration counts above this are refused: a hostile keybag must not keep the
// tool busy for hours. Real backups use at most 10,000,000.
inline constexpr uint32_t kMaxKeybagIterations = 50'000'000;

// Reads a keybag; empty optional with `error` set when the bytes are not a
// usable backup keybag (truncated record, missing salt or iteration count,
// counts out of range, a class without CLAS or WPKY).
std::optional<Keybag> ParseKeybag(std::span<const uint8_t> bytes, std::string& error);

// The record bytes of `keybag`, in the order the phone writes them.
Bytes SerializeKeybag(const Keybag& keybag);

}  // namespace fq::decrypt

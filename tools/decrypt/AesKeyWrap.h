#pragma once
// AES key wrap (RFC 3394) with a 256-bit key-encryption key, as the keybag
// wraps class keys and the manifest wraps file keys.
#include <openssl/types.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace fq::decrypt {

using Key256 = std::array<uint8_t, 32>;

struct CipherCtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const;
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

// The unwrapped key; empty when the integrity check fails (wrong key) or the
// wrapped bytes are not a whole number of 8-byte blocks of at least 24 bytes.
std::optional<std::vector<uint8_t>> UnwrapKey(const Key256& kek, std::span<const uint8_t> wrapped);

// `key` (a multiple of 8 bytes, at least 16) wrapped under `kek`.
std::vector<uint8_t> WrapKey(const Key256& kek, std::span<const uint8_t> key);

// UnwrapKey for one key after another, the way a run over thousands of
// file keys needs it: the AES context and the schedule of the last
// key-encryption key are kept, so an unwrap costs its 6n block decryptions.
// One per thread.
class KeyUnwrapper {
 public:
  KeyUnwrapper();
  ~KeyUnwrapper();
  KeyUnwrapper(const KeyUnwrapper&) = delete;
  KeyUnwrapper& operator=(const KeyUnwrapper&) = delete;

  std::optional<std::vector<uint8_t>> unwrap(const Key256& kek, std::span<const uint8_t> wrapped);

 private:
  CipherCtx m_ctx;  // AES-256-ECB, decrypting, keyed with m_kek
  Key256 m_kek{};
  bool m_keyed = false;
};

}  // namespace fq::decrypt

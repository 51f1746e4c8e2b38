#include "tools/decrypt/KeyDerivation.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace fq::decrypt {
namespace {

bool pbkdf2(std::span<const uint8_t> secret, std::span<const uint8_t> salt, uint32_t rounds, const EVP_MD* md,
            Key256& out) {
  if (rounds == 0 || rounds > kMaxKeybagIterations) return false;
  return PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(secret.data()), static_cast<int>(secret.size()),
                           salt.data(), static_cast<int>(salt.size()), static_cast<int>(rounds), md,
                           static_cast<int>(out.size()), out.data()) == 1;
}

}  // namespace

std::optional<Key256> DeriveKeyEncryptionKey(std::string_view password, const Keybag& keybag) {
  std::span<const uint8_t> secret(reinterpret_cast<const uint8_t*>(password.data()), password.size());
  Key256 first{};
  if (keybag.dpSalt) {
    if (!pbkdf2(secret, *keybag.dpSalt, keybag.dpIterations, EVP_sha256(), first)) return std::nullopt;
    secret = first;
  }
  Key256 kek{};
  const bool ok = pbkdf2(secret, keybag.salt, keybag.iterations, EVP_sha1(), kek);
  OPENSSL_cleanse(first.data(), first.size());
  if (!ok) return std::nullopt;
  return kek;
}

}  // namespace fq::decrypt

#pragma once
// The key-encryption key of a backup keybag, derived from the backup password.
#include <optional>
#include <string_view>

#include "tools/decrypt/AesKeyWrap.h"
#include "tools/decrypt/Keybag.h"

namespace fq::decrypt {

// Since iOS 10.2 (the keybag has DPSL): PBKDF2-HMAC-SHA256(password, DPSL, DPIC)
// first, its 32 bytes then go through PBKDF2-HMAC-SHA1(SALT, ITER). Before:
// PBKDF2-HMAC-SHA1(password, SALT, ITER) alone. The password is its UTF-8 bytes.
std::optional<Key256> DeriveKeyEncryptionKey(std::string_view password, const Keybag& keybag);

}  // namespace fq::decrypt

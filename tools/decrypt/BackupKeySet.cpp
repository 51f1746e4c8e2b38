#include "tools/decrypt/BackupKeySet.h"

#include <openssl/rand.h>

#include <algorithm>

#include "tools/decrypt/FileCipher.h"
#include "tools/decrypt/KeyDerivation.h"

namespace fq::decrypt {
namespace {

Bytes randomBytes(size_t n) {
  Bytes b(n);
  RAND_bytes(b.data(), static_cast<int>(n));
  return b;
}

Key256 randomKey() {
  Key256 k{};
  RAND_bytes(k.data(), static_cast<int>(k.size()));
  return k;
}

}  // namespace

std::optional<BackupKeySet> BackupKeySet::Create(std::string_view password, bool modern, uint32_t iterations,
                                                 uint32_t dpIterations) {
  BackupKeySet set;
  Keybag& bag = set.m_keybag;
  bag.version = modern ? 4 : 3;
  bag.type = 1;
  bag.uuid = randomBytes(16);
  bag.hmacKey = randomBytes(40);
  bag.salt = randomBytes(20);
  bag.iterations = iterations;
  if (modern) {
    bag.dpSalt = randomBytes(20);
    bag.dpIterations = dpIterations;
    bag.dpWrap = 1;
  }
  const auto kek = DeriveKeyEncryptionKey(password, bag);
  if (!kek) return std::nullopt;
  for (uint32_t c = 1; c <= 11; ++c) {
    const Key256 key = randomKey();
    KeybagClass entry;
    entry.protectionClass = c;
    entry.wrap = 2;
    entry.keyType = c == 2 ? 1 : 0;  // class 2 is the asymmetric one and carries a public key
    entry.uuid = randomBytes(16);
    entry.wrappedKey = WrapKey(*kek, key);
    if (c == 2) entry.publicKey = randomBytes(32);
    bag.classes.push_back(std::move(entry));
    set.m_classKeys[c] = key;
  }
  return set;
}

std::optional<BackupKeySet::Sealed> BackupKeySet::seal(uint32_t protectionClass,
                                                       std::span<const uint8_t> plain) const {
  const auto classKey = m_classKeys.find(protectionClass);
  if (classKey == m_classKeys.end()) return std::nullopt;
  const Key256 fileKey = randomKey();
  const Bytes wrapped = WrapKey(classKey->second, fileKey);
  Sealed sealed;
  sealed.keyBlob.resize(4 + wrapped.size());
  for (int i = 0; i < 4; ++i) sealed.keyBlob[i] = static_cast<uint8_t>(protectionClass >> (8 * i));
  std::copy(wrapped.begin(), wrapped.end(), sealed.keyBlob.begin() + 4);
  sealed.content = EncryptBytes(fileKey, plain);
  return sealed;
}

}  // namespace fq::decrypt

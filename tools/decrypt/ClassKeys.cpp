#include "tools/decrypt/ClassKeys.h"

#include <algorithm>

namespace fq::decrypt {

UnlockResult ClassKeys::unlock(const Keybag& keybag, const Key256& kek) {
  m_keys.clear();
  for (const auto& c : keybag.classes) {
    if ((c.wrap & kWrapPasscodeKey) == 0) continue;
    const auto key = UnwrapKey(kek, c.wrappedKey);
    if (!key) return UnlockResult::WrongPassword;
    if (key->size() != 32) continue;
    Key256 k{};
    std::copy(key->begin(), key->end(), k.begin());
    m_keys[c.protectionClass] = k;
  }
  return m_keys.empty() ? UnlockResult::NoUsableClass : UnlockResult::Ok;
}

const Key256* ClassKeys::find(uint32_t protectionClass) const {
  const auto it = m_keys.find(protectionClass);
  return it == m_keys.end() ? nullptr : &it->second;
}

std::optional<Key256> ClassKeys::unwrapFileKey(uint32_t protectionClass,
                                               std::span<const uint8_t> wrapped) const {
  KeyUnwrapper with;
  return unwrapFileKey(protectionClass, wrapped, with);
}

std::optional<Key256> ClassKeys::unwrapFileKey(std::span<const uint8_t> blob) const {
  KeyUnwrapper with;
  return unwrapFileKey(blob, with);
}

std::optional<Key256> ClassKeys::unwrapFileKey(uint32_t protectionClass, std::span<const uint8_t> wrapped,
                                               KeyUnwrapper& with) const {
  const Key256* classKey = find(protectionClass);
  if (classKey == nullptr) return std::nullopt;
  const auto key = with.unwrap(*classKey, wrapped);
  if (!key || key->size() != 32) return std::nullopt;
  Key256 k{};
  std::copy(key->begin(), key->end(), k.begin());
  return k;
}

std::optional<Key256> ClassKeys::unwrapFileKey(std::span<const uint8_t> blob, KeyUnwrapper& with) const {
  if (blob.size() < 4) return std::nullopt;
  const uint32_t protectionClass =
      uint32_t{blob[0]} | (uint32_t{blob[1]} << 8) | (uint32_t{blob[2]} << 16) | (uint32_t{blob[3]} << 24);
  return unwrapFileKey(protectionClass, blob.subspan(4), with);
}

}  // namespace fq::decrypt

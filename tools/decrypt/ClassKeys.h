#pragma once
// The unwrapped protection-class keys of one backup, and the unwrapping of the
// per-file keys (4-byte little-endian class, then the RFC 3394 wrapped key).
#include <cstdint>
#include <map>
#include <optional>
#include <span>

#include "tools/decrypt/AesKeyWrap.h"
#include "tools/decrypt/Keybag.h"

namespace fq::decrypt {

enum class UnlockResult { Ok, WrongPassword, NoUsableClass };

class ClassKeys {
 public:
  // Unwraps every class key that is wrapped with the password key (WRAP bit 2).
  // A failed integrity check means the password is wrong.
  UnlockResult unlock(const Keybag& keybag, const Key256& kek);

  const Key256* find(uint32_t protectionClass) const;

  // A file or manifest key blob: class (little-endian) + wrapped key. Empty
  // when the blob is short, its class is unknown, or the unwrap fails.
  std::optional<Key256> unwrapFileKey(std::span<const uint8_t> blob) const;
  // The same for a wrapped key whose class is known from elsewhere.
  std::optional<Key256> unwrapFileKey(uint32_t protectionClass, std::span<const uint8_t> wrapped) const;
  // Both again through a thread's own unwrapper, for many files in a row.
  std::optional<Key256> unwrapFileKey(std::span<const uint8_t> blob, KeyUnwrapper& with) const;
  std::optional<Key256> unwrapFileKey(uint32_t protectionClass, std::span<const uint8_t> wrapped,
                                      KeyUnwrapper& with) const;

  void insert(uint32_t protectionClass, const Key256& key) { m_keys[protectionClass] = key; }
  size_t size() const { return m_keys.size(); }

 private:
  std::map<uint32_t, Key256> m_keys;
};

inline constexpr uint32_t kWrapPasscodeKey = 2;  // WRAP bit: wrapped with the password-derived key

}  // namespace fq::decrypt

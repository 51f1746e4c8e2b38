#include "tools/decrypt/AesKeyWrap.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstring>

namespace fq::decrypt {
namespace {

bool unwrappable(std::span<const uint8_t> wrapped) {
  return wrapped.size() >= 24 && wrapped.size() % 8 == 0 && wrapped.size() <= 4096;
}

}  // namespace

void CipherCtxFree::operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }

std::optional<std::vector<uint8_t>> UnwrapKey(const Key256& kek, std::span<const uint8_t> wrapped) {
  KeyUnwrapper unwrapper;
  return unwrapper.unwrap(kek, wrapped);
}

std::vector<uint8_t> WrapKey(const Key256& kek, std::span<const uint8_t> key) {
  if (key.size() < 16 || key.size() % 8 != 0) return {};
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return {};
  EVP_CIPHER_CTX_set_flags(ctx.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
  if (EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_wrap(), nullptr, kek.data(), nullptr) != 1) return {};
  std::vector<uint8_t> out(key.size() + 16);
  int n = 0;
  int tail = 0;
  if (EVP_EncryptUpdate(ctx.get(), out.data(), &n, key.data(), static_cast<int>(key.size())) != 1 || n <= 0 ||
      EVP_EncryptFinal_ex(ctx.get(), out.data() + n, &tail) != 1)
    return {};
  out.resize(static_cast<size_t>(n + tail));
  return out;
}

KeyUnwrapper::KeyUnwrapper() : m_ctx(EVP_CIPHER_CTX_new()) {
  if (m_ctx && EVP_DecryptInit_ex(m_ctx.get(), EVP_aes_256_ecb(), nullptr, nullptr, nullptr) != 1)
    m_ctx.reset();
}

KeyUnwrapper::~KeyUnwrapper() { OPENSSL_cleanse(m_kek.data(), m_kek.size()); }

// RFC 3394, section 2.2.2, on AES-256-ECB: OpenSSL's own wrap cipher does its
// block decryptions without the processor's AES instructions and schedules
// the key anew for every key, several times the cost of the file's content.
std::optional<std::vector<uint8_t>> KeyUnwrapper::unwrap(const Key256& kek,
                                                         std::span<const uint8_t> wrapped) {
  if (!unwrappable(wrapped) || !m_ctx) return std::nullopt;
  if (!m_keyed || m_kek != kek) {
    m_keyed = EVP_DecryptInit_ex(m_ctx.get(), nullptr, nullptr, kek.data(), nullptr) == 1;
    if (!m_keyed) return std::nullopt;
    EVP_CIPHER_CTX_set_padding(m_ctx.get(), 0);
    m_kek = kek;
  }
  const size_t n = wrapped.size() / 8 - 1;
  uint8_t a[8];
  std::memcpy(a, wrapped.data(), 8);
  std::vector<uint8_t> r(wrapped.begin() + 8, wrapped.end());
  uint8_t block[16];
  for (int j = 5; j >= 0; --j) {
    for (size_t i = n; i >= 1; --i) {
      uint64_t t = n * static_cast<uint64_t>(j) + i;
      for (int k = 7; k >= 0; --k, t >>= 8) a[k] ^= static_cast<uint8_t>(t);
      std::memcpy(block, a, 8);
      std::memcpy(block + 8, r.data() + (i - 1) * 8, 8);
      int produced = 0;
      if (EVP_DecryptUpdate(m_ctx.get(), block, &produced, block, 16) != 1 || produced != 16) {
        OPENSSL_cleanse(r.data(), r.size());
        return std::nullopt;
      }
      std::memcpy(a, block, 8);
      std::memcpy(r.data() + (i - 1) * 8, block + 8, 8);
    }
  }
  OPENSSL_cleanse(block, sizeof block);
  // The integrity check: a wrong key-encryption key (a wrong password) ends
  // with anything but the initial value.
  constexpr uint8_t kInitialValue[8] = {0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xA6};
  if (std::memcmp(a, kInitialValue, 8) != 0) {
    OPENSSL_cleanse(r.data(), r.size());
    return std::nullopt;
  }
  return r;
}

}  // namespace fq::decrypt

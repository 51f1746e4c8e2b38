#include "tools/decrypt/AesKeyWrap.h"

#include <openssl/evp.h>

#include <memory>

namespace fq::decrypt {
namespace {

struct CtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

std::optional<std::vector<uint8_t>> runWrap(const Key256& kek, std::span<const uint8_t> in, bool encrypt) {
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return std::nullopt;
  EVP_CIPHER_CTX_set_flags(ctx.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
  if (EVP_CipherInit_ex(ctx.get(), EVP_aes_256_wrap(), nullptr, kek.data(), nullptr, encrypt ? 1 : 0) != 1)
    return std::nullopt;
  std::vector<uint8_t> out(in.size() + 16);
  int n = 0;
  if (EVP_CipherUpdate(ctx.get(), out.data(), &n, in.data(), static_cast<int>(in.size())) != 1 || n <= 0)
    return std::nullopt;
  int tail = 0;
  if (EVP_CipherFinal_ex(ctx.get(), out.data() + n, &tail) != 1) return std::nullopt;
  out.resize(static_cast<size_t>(n + tail));
  return out;
}

}  // namespace

std::optional<std::vector<uint8_t>> UnwrapKey(const Key256& kek, std::span<const uint8_t> wrapped) {
  if (wrapped.size() < 24 || wrapped.size() % 8 != 0 || wrapped.size() > 4096) return std::nullopt;
  return runWrap(kek, wrapped, false);
}

std::vector<uint8_t> WrapKey(const Key256& kek, std::span<const uint8_t> key) {
  if (key.size() < 16 || key.size() % 8 != 0) return {};
  return runWrap(kek, key, true).value_or(std::vector<uint8_t>{});
}

}  // namespace fq::decrypt

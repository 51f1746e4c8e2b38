#include "tools/decrypt/FileCipher.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

#include "engine/platform/ChunkedCopy.h"
#include "engine/platform/File.h"

namespace fq::decrypt {
namespace {

constexpr size_t kChunk = 1 << 20;
constexpr size_t kBlock = 16;

struct CtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

CipherCtx newCbc(const Key256& key, bool encrypt) {
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  const uint8_t iv[kBlock] = {};
  if (!ctx || EVP_CipherInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key.data(), iv, encrypt ? 1 : 0) != 1)
    return nullptr;
  EVP_CIPHER_CTX_set_padding(ctx.get(), encrypt ? 1 : 0);
  return ctx;
}

// The number of PKCS#7 padding bytes ending `block`, or 0 when it is not padding.
size_t paddingLength(const uint8_t* block) {
  const uint8_t n = block[kBlock - 1];
  if (n == 0 || n > kBlock) return 0;
  for (size_t i = kBlock - n; i < kBlock; ++i)
    if (block[i] != n) return 0;
  return n;
}

}  // namespace

CipherResult DecryptFile(const Key256& key, const std::filesystem::path& source,
                         const std::filesystem::path& destination, DecryptedFileReport& report) {
  report = {};
  File in = File::OpenRead(source);
  if (!in.ok()) return CipherResult::CannotRead;
  File out = File::CreateOutput(destination);
  if (!out.ok()) return CipherResult::CannotWrite;
  CipherCtx ctx = newCbc(key, false);
  if (!ctx) return CipherResult::CipherFailed;

  std::vector<uint8_t> input(kChunk);
  std::vector<uint8_t> output(kChunk + kBlock);
  // The last decrypted block is held back until the end is known: only the
  // final block can carry padding.
  uint8_t held[kBlock];
  bool holding = false;
  std::vector<uint8_t> carry;  // input bytes short of a whole block

  for (uint64_t offset = 0;;) {
    size_t n = 0;
    if (in.readAt(offset, input, n) != 0) return CipherResult::CannotRead;
    if (n == 0) break;
    offset += n;
    std::span<const uint8_t> chunk(input.data(), n);
    std::vector<uint8_t> joined;
    if (!carry.empty()) {
      joined = carry;
      joined.insert(joined.end(), chunk.begin(), chunk.end());
      chunk = joined;
      carry.clear();
    }
    const size_t whole = chunk.size() - chunk.size() % kBlock;
    carry.assign(chunk.begin() + static_cast<std::ptrdiff_t>(whole), chunk.end());
    if (whole == 0) continue;

    if (output.size() < whole + kBlock) output.resize(whole + kBlock);
    int produced = 0;
    if (EVP_DecryptUpdate(ctx.get(), output.data(), &produced, chunk.data(), static_cast<int>(whole)) != 1)
      return CipherResult::CipherFailed;
    const auto count = static_cast<size_t>(produced);
    if (count < kBlock) continue;  // cannot happen without padding, but stay safe
    if (holding && out.write(std::span<const uint8_t>(held, kBlock)) != 0) return CipherResult::CannotWrite;
    if (out.write(std::span<const uint8_t>(output.data(), count - kBlock)) != 0)
      return CipherResult::CannotWrite;
    report.bytesWritten += (holding ? kBlock : 0) + count - kBlock;
    std::copy(output.data() + count - kBlock, output.data() + count, held);
    holding = true;
  }
  report.trailingBytes = carry.size();

  if (holding) {
    size_t pad = paddingLength(held);
    report.paddingValid = pad != 0;
    if (out.write(std::span<const uint8_t>(held, kBlock - pad)) != 0) return CipherResult::CannotWrite;
    report.bytesWritten += kBlock - pad;
  } else {
    report.paddingValid = false;  // no whole block at all
  }
  if (out.close() != 0) return CipherResult::CannotWrite;
  return CipherResult::Ok;
}

CipherResult CopyPlainFile(const std::filesystem::path& source, const std::filesystem::path& destination,
                           uint64_t& bytesWritten) {
  bytesWritten = 0;
  CopyStep step = CopyStep::Done;
  CopyFileInChunks(
      source, destination,
      [&bytesWritten](uint64_t copied, uint64_t, int32_t writeCode) {
        if (writeCode == 0) bytesWritten = copied;
        return writeCode;
      },
      &step);
  switch (step) {
    case CopyStep::Done:
      return CipherResult::Ok;
    case CopyStep::OpenSource:
    case CopyStep::Read:
      return CipherResult::CannotRead;
    default:
      return CipherResult::CannotWrite;
  }
}

std::vector<uint8_t> EncryptBytes(const Key256& key, std::span<const uint8_t> plain) {
  CipherCtx ctx = newCbc(key, true);
  if (!ctx) return {};
  std::vector<uint8_t> out(plain.size() + kBlock);
  int n = 0;
  int tail = 0;
  if (EVP_EncryptUpdate(ctx.get(), out.data(), &n, plain.data(), static_cast<int>(plain.size())) != 1 ||
      EVP_EncryptFinal_ex(ctx.get(), out.data() + n, &tail) != 1)
    return {};
  out.resize(static_cast<size_t>(n + tail));
  return out;
}

bool DecryptBytes(const Key256& key, std::span<const uint8_t> cipher, std::vector<uint8_t>& plain) {
  plain.clear();
  if (cipher.empty() || cipher.size() % kBlock != 0) return false;
  CipherCtx ctx = newCbc(key, false);
  if (!ctx) return false;
  plain.resize(cipher.size());
  int n = 0;
  if (EVP_DecryptUpdate(ctx.get(), plain.data(), &n, cipher.data(), static_cast<int>(cipher.size())) != 1)
    return false;
  plain.resize(static_cast<size_t>(n));
  const size_t pad = plain.size() >= kBlock ? paddingLength(plain.data() + plain.size() - kBlock) : 0;
  if (pad == 0) return false;
  plain.resize(plain.size() - pad);
  return true;
}

}  // namespace fq::decrypt

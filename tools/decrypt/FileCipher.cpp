#include "tools/decrypt/FileCipher.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace fq::decrypt {
namespace {

constexpr size_t kChunk = 1 << 20;
constexpr size_t kBlock = 16;

struct CtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

class Fd {
 public:
  explicit Fd(int fd) : m_fd(fd) {}
  ~Fd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return m_fd; }
  bool ok() const { return m_fd >= 0; }
  // Closing reports the last write error a file system may defer.
  bool close() {
    const int fd = m_fd;
    m_fd = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int m_fd;
};

Fd openForReading(const std::filesystem::path& p) { return Fd(::open(p.c_str(), O_RDONLY | O_CLOEXEC)); }

Fd openForWriting(const std::filesystem::path& p) {
  return Fd(::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
}

// Fills `buffer` as far as the file allows; returns the count or -1.
ssize_t readFully(int fd, uint8_t* buffer, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, buffer + got, size - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

bool writeFully(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

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
  Fd in = openForReading(source);
  if (!in.ok()) return CipherResult::CannotRead;
  Fd out = openForWriting(destination);
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

  for (;;) {
    const ssize_t n = readFully(in.get(), input.data(), input.size());
    if (n < 0) return CipherResult::CannotRead;
    if (n == 0) break;
    std::span<const uint8_t> chunk(input.data(), static_cast<size_t>(n));
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
    if (holding && !writeFully(out.get(), held, kBlock)) return CipherResult::CannotWrite;
    if (!writeFully(out.get(), output.data(), count - kBlock)) return CipherResult::CannotWrite;
    report.bytesWritten += (holding ? kBlock : 0) + count - kBlock;
    std::copy(output.data() + count - kBlock, output.data() + count, held);
    holding = true;
  }
  report.trailingBytes = carry.size();

  if (holding) {
    size_t pad = paddingLength(held);
    report.paddingValid = pad != 0;
    if (!writeFully(out.get(), held, kBlock - pad)) return CipherResult::CannotWrite;
    report.bytesWritten += kBlock - pad;
  } else {
    report.paddingValid = false;  // no whole block at all
  }
  if (!out.close()) return CipherResult::CannotWrite;
  return CipherResult::Ok;
}

CipherResult CopyPlainFile(const std::filesystem::path& source, const std::filesystem::path& destination,
                           uint64_t& bytesWritten) {
  bytesWritten = 0;
  Fd in = openForReading(source);
  if (!in.ok()) return CipherResult::CannotRead;
  Fd out = openForWriting(destination);
  if (!out.ok()) return CipherResult::CannotWrite;
  std::vector<uint8_t> buffer(kChunk);
  for (;;) {
    const ssize_t n = readFully(in.get(), buffer.data(), buffer.size());
    if (n < 0) return CipherResult::CannotRead;
    if (n == 0) break;
    if (!writeFully(out.get(), buffer.data(), static_cast<size_t>(n))) return CipherResult::CannotWrite;
    bytesWritten += static_cast<uint64_t>(n);
  }
  if (!out.close()) return CipherResult::CannotWrite;
  return CipherResult::Ok;
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

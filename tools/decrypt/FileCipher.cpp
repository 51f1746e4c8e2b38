#include "tools/decrypt/FileCipher.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace fq::decrypt {
namespace {

constexpr size_t kChunk = 1 << 20;
constexpr size_t kBlock = 16;
constexpr uint8_t kZeroIv[kBlock] = {};

CipherCtx newCbc(const Key256& key, bool encrypt) {
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx ||
      EVP_CipherInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key.data(), kZeroIv, encrypt ? 1 : 0) != 1)
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

// Reads up to `want` bytes; `got` falls short only at the end of the file.
int readUpTo(int fd, uint8_t* buffer, size_t want, size_t& got) {
  got = 0;
  while (got < want) {
    const ssize_t n = ::read(fd, buffer + got, want - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return 0;
}

int writeAll(int fd, const uint8_t* bytes, size_t count) {
  for (size_t done = 0; done < count;) {
    const ssize_t n = ::write(fd, bytes + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    done += static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace

FileDecryptor::FileDecryptor()
    : m_ctx(EVP_CIPHER_CTX_new()),
      m_input(std::make_unique_for_overwrite<uint8_t[]>(kChunk)),
      m_output(std::make_unique_for_overwrite<uint8_t[]>(kChunk + kBlock)) {
  // The cipher is chosen once; each file then only sets its key.
  if (m_ctx && EVP_DecryptInit_ex(m_ctx.get(), EVP_aes_256_cbc(), nullptr, nullptr, nullptr) != 1)
    m_ctx.reset();
}

CipherResult FileDecryptor::decryptInto(const Key256& key, const UniqueFd& in, uint64_t size,
                                        const Folder& to, const char* name, DecryptedFileReport& report) {
  report = {};
  UniqueFd out;
  if (to.createFile(name, out) != 0) return CipherResult::CannotWrite;
  CipherResult result = decrypt(key, in.get(), size, out.get(), report);
  if (out.close() != 0 && result == CipherResult::Ok) result = CipherResult::CannotWrite;
  // No partial file passes for a written one.
  if (result == CipherResult::CannotWrite) to.remove(name);
  return result;
}

CipherResult FileDecryptor::copyInto(const UniqueFd& in, uint64_t size, const Folder& to, const char* name,
                                     uint64_t& bytesWritten) {
  bytesWritten = 0;
  UniqueFd out;
  if (to.createFile(name, out) != 0) return CipherResult::CannotWrite;
  CipherResult result = copy(in.get(), size, out.get(), bytesWritten);
  if (out.close() != 0 && result == CipherResult::Ok) result = CipherResult::CannotWrite;
  if (result == CipherResult::CannotWrite) to.remove(name);
  return result;
}

CipherResult FileDecryptor::decrypt(const Key256& key, int in, uint64_t size, int out,
                                    DecryptedFileReport& report) {
  if (!m_ctx || EVP_DecryptInit_ex(m_ctx.get(), nullptr, nullptr, key.data(), kZeroIv) != 1)
    return CipherResult::CipherFailed;
  EVP_CIPHER_CTX_set_padding(m_ctx.get(), 0);
  uint8_t* const input = m_input.get();
  uint8_t* const output = m_output.get();
  // Decrypted bytes gather in `output` and are written whole at the end; a
  // larger file is written as it fills, always holding back the last block,
  // since only the final block can carry padding.
  size_t pending = 0;
  size_t carry = 0;  // input bytes short of a whole block, kept at the front
  for (uint64_t consumed = 0; consumed < size;) {
    const auto want = static_cast<size_t>(std::min<uint64_t>(kChunk - carry, size - consumed));
    size_t got = 0;
    if (readUpTo(in, input + carry, want, got) != 0) return CipherResult::CannotRead;
    consumed += got;
    const size_t total = carry + got;
    const size_t whole = total - total % kBlock;
    if (whole != 0) {
      if (pending + whole > kChunk + kBlock) {
        if (writeAll(out, output, pending - kBlock) != 0) return CipherResult::CannotWrite;
        report.bytesWritten += pending - kBlock;
        std::memmove(output, output + pending - kBlock, kBlock);
        pending = kBlock;
      }
      int produced = 0;
      if (EVP_DecryptUpdate(m_ctx.get(), output + pending, &produced, input, static_cast<int>(whole)) != 1 ||
          static_cast<size_t>(produced) != whole)
        return CipherResult::CipherFailed;
      pending += whole;
    }
    carry = total - whole;
    std::memmove(input, input + whole, carry);
    if (got < want) break;  // the file ended before its size
  }
  report.trailingBytes = carry;
  if (pending >= kBlock) {
    const size_t pad = paddingLength(output + pending - kBlock);
    report.paddingValid = pad != 0;
    pending -= pad;
  } else {
    report.paddingValid = false;  // no whole block at all
  }
  if (writeAll(out, output, pending) != 0) return CipherResult::CannotWrite;
  report.bytesWritten += pending;
  return CipherResult::Ok;
}

CipherResult FileDecryptor::copy(int in, uint64_t size, int out, uint64_t& bytesWritten) {
  for (uint64_t copied = 0; copied < size;) {
    const auto want = static_cast<size_t>(std::min<uint64_t>(kChunk, size - copied));
    size_t got = 0;
    if (readUpTo(in, m_input.get(), want, got) != 0 || got != want) return CipherResult::CannotRead;
    if (writeAll(out, m_input.get(), got) != 0) return CipherResult::CannotWrite;
    copied += got;
    bytesWritten = copied;
  }
  return CipherResult::Ok;
}

CipherResult DecryptFile(const Key256& key, const std::filesystem::path& source,
                         const std::filesystem::path& destination, DecryptedFileReport& report) {
  report = {};
  const Folder here = Folder::WorkingDirectory();
  UniqueFd in;
  struct stat status {};
  if (here.openRegular(source.c_str(), in, status) != 0) return CipherResult::CannotRead;
  FileDecryptor decryptor;
  return decryptor.decryptInto(key, in, static_cast<uint64_t>(status.st_size), here, destination.c_str(),
                               report);
}

CipherResult CopyPlainFile(const std::filesystem::path& source, const std::filesystem::path& destination,
                           uint64_t& bytesWritten) {
  bytesWritten = 0;
  const Folder here = Folder::WorkingDirectory();
  UniqueFd in;
  struct stat status {};
  if (here.openRegular(source.c_str(), in, status) != 0) return CipherResult::CannotRead;
  FileDecryptor copier;
  return copier.copyInto(in, static_cast<uint64_t>(status.st_size), here, destination.c_str(), bytesWritten);
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

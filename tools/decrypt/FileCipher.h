#pragma once
// AES-256-CBC with a zero IV and PKCS#7 padding, as backups store file
// content: streamed in chunks, never a whole file in memory.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tools/decrypt/AesKeyWrap.h"
#include "tools/decrypt/Folder.h"

namespace fq::decrypt {

struct DecryptedFileReport {
  uint64_t bytesWritten = 0;
  bool paddingValid = true;    // false: the last block was kept whole
  uint64_t trailingBytes = 0;  // input bytes after the last whole block (dropped)
};

enum class CipherResult { Ok, CannotRead, CannotWrite, CipherFailed };

// Decrypts one stored file after another, keeping its cipher context and its
// buffers from file to file: a small file costs one read and one write. One
// per thread.
class FileDecryptor {
 public:
  FileDecryptor();

  // Decrypts the `size` bytes of `in` (its size when opened; an earlier end
  // is taken as it comes) into the new file `name` of `to` (see
  // Folder::createFile). The padding is stripped when it is valid; otherwise
  // the data is kept as it decrypted, so nothing is lost. A file whose write
  // failed is removed.
  CipherResult decryptInto(const Key256& key, const UniqueFd& in, uint64_t size, const Folder& to,
                           const char* name, DecryptedFileReport& report);
  // Copies the `size` bytes of `in` unchanged the same way; a source that
  // ends before `size` cannot be read.
  CipherResult copyInto(const UniqueFd& in, uint64_t size, const Folder& to, const char* name,
                        uint64_t& bytesWritten);

 private:
  CipherResult decrypt(const Key256& key, int in, uint64_t size, int out, DecryptedFileReport& report);
  CipherResult copy(int in, uint64_t size, int out, uint64_t& bytesWritten);

  CipherCtx m_ctx;
  std::unique_ptr<uint8_t[]> m_input;   // kChunk bytes
  std::unique_ptr<uint8_t[]> m_output;  // kChunk + one block
};

// Decrypts `source` into a new file `destination` (replaced when it exists,
// never followed when it is a link), as FileDecryptor::decryptInto does.
CipherResult DecryptFile(const Key256& key, const std::filesystem::path& source,
                         const std::filesystem::path& destination, DecryptedFileReport& report);

// Copies a stored file that carries no key (stored in the clear) the same way.
CipherResult CopyPlainFile(const std::filesystem::path& source, const std::filesystem::path& destination,
                           uint64_t& bytesWritten);

// In-memory forms, for small blobs and for writing test backups.
std::vector<uint8_t> EncryptBytes(const Key256& key, std::span<const uint8_t> plain);
bool DecryptBytes(const Key256& key, std::span<const uint8_t> cipher, std::vector<uint8_t>& plain);

}  // namespace fq::decrypt

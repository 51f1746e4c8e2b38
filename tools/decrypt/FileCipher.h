#pragma once
// AES-256-CBC with a zero IV and PKCS#7 padding, as backups store file
// content: streamed in chunks, never a whole file in memory.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "tools/decrypt/AesKeyWrap.h"

namespace fq::decrypt {

struct DecryptedFileReport {
  uint64_t bytesWritten = 0;
  bool paddingValid = true;    // false: the last block was kept whole
  uint64_t trailingBytes = 0;  // input bytes after the last whole block (dropped)
};

enum class CipherResult { Ok, CannotRead, CannotWrite, CipherFailed };

// Decrypts `source` into a new file `destination` (replaced when it exists,
// never followed when it is a link). The padding is stripped when it is valid;
// otherwise the data is kept as it decrypted, so nothing is lost.
CipherResult DecryptFile(const Key256& key, const std::filesystem::path& source,
                         const std::filesystem::path& destination, DecryptedFileReport& report);

// Copies a stored file that carries no key (stored in the clear) the same way.
CipherResult CopyPlainFile(const std::filesystem::path& source, const std::filesystem::path& destination,
                           uint64_t& bytesWritten);

// In-memory forms, for small blobs and for writing test backups.
std::vector<uint8_t> EncryptBytes(const Key256& key, std::span<const uint8_t> plain);
bool DecryptBytes(const Key256& key, std::span<const uint8_t> cipher, std::vector<uint8_t>& plain);

}  // namespace fq::decrypt

#pragma once
// The stored files of a Manifest.mbdb backup with their wrapped keys: the
// encryption-key string of a record holds the 4-byte class and the wrapped key.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fq::decrypt {

struct MbdbFileKey {
  std::string fileId;  // SHA-1 of "domain-path"
  uint8_t protectionClass = 0;
  uint64_t size = 0;
  std::vector<uint8_t> encryptionKey;  // empty: stored in the clear
};

// Every regular-file record (mode & 0xE000 == 0x8000) with a domain and a
// path. Parsing stops at a record cut short; the records before it are kept.
// False when the bytes do not start with "mbdb".
bool ParseMbdbFileKeys(std::span<const uint8_t> bytes, std::vector<MbdbFileKey>& files);

}  // namespace fq::decrypt

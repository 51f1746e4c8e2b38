#include "engine/backup/FileId.h"

#include <openssl/sha.h>

#include <array>

namespace fq {

std::string FileIdOf(std::string_view key) {
  std::array<unsigned char, SHA_DIGEST_LENGTH> digest{};
  SHA1(reinterpret_cast<const unsigned char*>(key.data()), key.size(), digest.data());
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  id.reserve(digest.size() * 2);
  for (unsigned char b : digest) {
    id.push_back(kHex[b >> 4]);
    id.push_back(kHex[b & 0x0F]);
  }
  return id;
}

}  // namespace fq

#pragma once
// MBFile, the per-file record of Manifest.db (Files.file): an NSKeyedArchiver
// binary property list whose root object carries the file's protection class,
// size and wrapped encryption key.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fq::decrypt {

struct MbFile {
  uint32_t protectionClass = 0;
  std::optional<uint64_t> size;
  std::vector<uint8_t> encryptionKey;  // 4-byte class + wrapped key; empty when none
  std::string relativePath;
  uint32_t mode = 0;
};

// Empty when `archive` is not a keyed archive whose root object is a dictionary.
std::optional<MbFile> DecodeMbFile(std::span<const uint8_t> archive);

// A keyed archive of `file` as the phone writes it (binary property list).
std::vector<uint8_t> EncodeMbFile(const MbFile& file);

}  // namespace fq::decrypt

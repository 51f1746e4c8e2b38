#include "engine/backup/StoredFilePath.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace fq {

namespace {

constexpr uint64_t EveryByte(uint8_t b) { return 0x0101010101010101ull * b; }

// The top bit of each byte of `w` (all below 0x80) that is at least `n` (n <= 0x80).
constexpr uint64_t AtLeast(uint64_t w, uint8_t n) { return (w + EveryByte(0x80 - n)) & EveryByte(0x80); }

}  // namespace

FileIdForm FileIdFormOf(std::string_view id) {
  if (id.size() != 40) return FileIdForm::None;
  // Eight bytes at a time; none reaches 0x80, so no sum carries into the next byte.
  uint64_t capitals = 0;
  for (size_t at = 0; at < id.size(); at += 8) {
    uint64_t w = 0;
    std::memcpy(&w, id.data() + at, 8);
    if ((w & EveryByte(0x80)) != 0) return FileIdForm::None;
    const uint64_t digit = AtLeast(w, '0') & ~AtLeast(w, '9' + 1);
    const uint64_t folded = w | EveryByte(0x20);  // 'A'-'F' as 'a'-'f'; no other byte lands there
    const uint64_t letter = AtLeast(folded, 'a') & ~AtLeast(folded, 'f' + 1);
    if ((digit | letter) != EveryByte(0x80)) return FileIdForm::None;
    capitals |= letter & ((~w & EveryByte(0x20)) << 2);
  }
  return capitals != 0 ? FileIdForm::WithCapitals : FileIdForm::Lowercase;
}

bool IsFileId(std::string_view id) { return FileIdFormOf(id) != FileIdForm::None; }

std::filesystem::path StoredFilePath(const std::filesystem::path& folder, std::string_view fileId,
                                     StorageLayout layout) {
  if (!IsFileId(fileId)) return {};
  if (layout == StorageLayout::TwoCharacterFolders) {
    return folder / std::string(fileId.substr(0, 2)) / std::string(fileId);
  }
  return folder / std::string(fileId);
}

}  // namespace fq

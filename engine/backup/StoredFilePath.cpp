#include "engine/backup/StoredFilePath.h"

#include <array>
#include <cstdint>
#include <string>

namespace fq {

FileIdForm FileIdFormOf(std::string_view id) {
  // Per byte: 1 a digit or lowercase hex letter, 2 a capital one, 0 anything else.
  static constexpr auto kClass = [] {
    std::array<uint8_t, 256> table{};
    for (int c = '0'; c <= '9'; ++c) table[static_cast<size_t>(c)] = 1;
    for (int c = 'a'; c <= 'f'; ++c) table[static_cast<size_t>(c)] = 1;
    for (int c = 'A'; c <= 'F'; ++c) table[static_cast<size_t>(c)] = 2;
    return table;
  }();
  if (id.size() != 40) return FileIdForm::None;
  bool foreign = false;
  uint8_t seen = 0;
  for (const char c : id) {
    const uint8_t cls = kClass[static_cast<unsigned char>(c)];
    foreign |= cls == 0;
    seen |= cls;
  }
  if (foreign) return FileIdForm::None;
  return (seen & 2) != 0 ? FileIdForm::WithCapitals : FileIdForm::Lowercase;
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

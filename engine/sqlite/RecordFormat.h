#pragma once
// The byte-level rules of the SQLite record format as this reader applies
// them: variable-length integers and serial-type content lengths. Every
// read stays inside `bytes`.
#include <cstdint>
#include <span>

namespace fq {

struct Varint {
  uint64_t value = 0;
  int32_t length = 0;  // bytes taken; 0 when nothing could be read
};

// Big-endian base-128 integer. Every byte contributes its low 7 bits, a ninth
// byte included, and reading goes on while top bits are set, up to
// min(maxLength, bytes.size()) bytes. Inline: the record scan reads one at
// nearly every byte of free space.
inline Varint readVarint(std::span<const uint8_t> bytes, int64_t maxLength) {
  Varint v;
  const int64_t limit =
      maxLength < static_cast<int64_t>(bytes.size()) ? maxLength : static_cast<int64_t>(bytes.size());
  for (int64_t i = 0; i < limit; ++i) {
    const uint8_t b = bytes[static_cast<size_t>(i)];
    v.value = (v.value << 7) | (b & 0x7F);
    v.length = static_cast<int32_t>(i + 1);
    if ((b & 0x80) == 0) return v;
  }
  return v;
}

// Content bytes of a serial type (saturated so sums cannot overflow).
inline int64_t contentLength(uint64_t serialType) {
  constexpr int64_t kSaturated = int64_t{1} << 40;
  if (serialType < 13) {
    constexpr int8_t kFixed[13] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0, 0};
    return kFixed[serialType];
  }
  const uint64_t len = (serialType - 12) / 2;  // (t - 12) / 2 and (t - 13) / 2 agree for odd t
  return len > static_cast<uint64_t>(kSaturated) ? kSaturated : static_cast<int64_t>(len);
}

inline uint16_t readBe16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>((b[at] << 8) | b[at + 1]);
}
inline uint32_t readBe32(std::span<const uint8_t> b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

}  // namespace fq

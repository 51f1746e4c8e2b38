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
// min(maxLength, bytes.size()) bytes.
Varint readVarint(std::span<const uint8_t> bytes, int64_t maxLength);

// Content bytes of a serial type (saturated so sums cannot overflow).
int64_t contentLength(uint64_t serialType);

inline uint16_t readBe16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>((b[at] << 8) | b[at + 1]);
}
inline uint32_t readBe32(std::span<const uint8_t> b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

}  // namespace fq

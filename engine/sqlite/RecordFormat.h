#pragma once
// The byte-level rules of the SQLite record format as this reader applies
// them: variable-length integers, serial-type content lengths and the length
// of a record found without its cell header. Every read stays inside `bytes`.
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

// Sum of the lengths of `count` consecutive varints at the start of `bytes`;
// 0 when they do not all end inside `bytes`.
int64_t headerLength(std::span<const uint8_t> bytes, int64_t count);

// Bytes from the first serial type of a record to the end of its content.
// With a nonzero `expectedColumns` the type list holds that many types, one
// fewer when the first byte is not 0 (the first type was overwritten); with 0
// it is `typeBytes` long. The sum stops growing once it exceeds `limit`.
int64_t recordLength(std::span<const uint8_t> bytes, int32_t expectedColumns, int64_t typeBytes,
                     int64_t limit);

inline uint16_t readBe16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>((b[at] << 8) | b[at + 1]);
}
inline uint32_t readBe32(std::span<const uint8_t> b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

}  // namespace fq

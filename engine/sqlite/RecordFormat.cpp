#include "engine/sqlite/RecordFormat.h"

#include <algorithm>

namespace fq {

namespace {
constexpr int64_t kSaturated = int64_t{1} << 40;
}

Varint readVarint(std::span<const uint8_t> bytes, int64_t maxLength) {
  Varint v;
  const int64_t limit = std::min<int64_t>(maxLength, static_cast<int64_t>(bytes.size()));
  for (int64_t i = 0; i < limit; ++i) {
    const uint8_t b = bytes[static_cast<size_t>(i)];
    v.value = (v.value << 7) | (b & 0x7F);
    v.length = static_cast<int32_t>(i + 1);
    if ((b & 0x80) == 0) return v;
  }
  return v;
}

int64_t contentLength(uint64_t serialType) {
  switch (serialType) {
    case 1:
    case 2:
    case 3:
    case 4:
      return static_cast<int64_t>(serialType);
    case 5:
      return 6;
    case 6:
    case 7:
      return 8;
    default:
      break;
  }
  if (serialType < 13) return 0;
  const uint64_t len = (serialType % 2 == 0) ? (serialType - 12) / 2 : (serialType - 13) / 2;
  return len > static_cast<uint64_t>(kSaturated) ? kSaturated : static_cast<int64_t>(len);
}

}  // namespace fq

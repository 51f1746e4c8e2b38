#include "engine/platform/Text.h"

#include <cstdint>
#include <cstring>

namespace fq {

size_t Utf8SequenceLength(std::string_view bytes, uint32_t& cp) {
  if (bytes.empty()) return 0;
  const auto b0 = static_cast<uint8_t>(bytes[0]);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  size_t len = 0;
  uint32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    cp = b0 & 0x1F;
    min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    cp = b0 & 0x0F;
    min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    cp = b0 & 0x07;
    min = 0x10000;
  } else {
    return 0;
  }
  if (len > bytes.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<uint8_t>(bytes[k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

std::string ToValidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    uint32_t cp = 0;
    const size_t len = Utf8SequenceLength(bytes.substr(i), cp);
    if (len == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    out.append(bytes.substr(i, len));
    i += len;
  }
  return out;
}

bool IsAcceptedText(std::string_view bytes) {
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    const auto b0 = static_cast<uint8_t>(bytes[i]);
    if (b0 == 0) return false;
    if (b0 < 0x80) {
      // Most texts are mostly ASCII: eight bytes at a time while none has its
      // high bit set and none is NUL; any other word is read byte by byte.
      constexpr uint64_t kLow = 0x0101010101010101ull;
      constexpr uint64_t kHigh = 0x8080808080808080ull;
      ++i;
      while (n - i >= 8) {
        uint64_t word = 0;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        if ((word & kHigh) != 0 || ((word - kLow) & ~word & kHigh) != 0) break;
        i += 8;
      }
      continue;
    }
    size_t len = 0;
    uint32_t cp = 0;
    uint32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
      len = 2;
      cp = b0 & 0x1F;
      min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      len = 3;
      cp = b0 & 0x0F;
      min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      len = 4;
      cp = b0 & 0x07;
      min = 0x10000;
    } else {
      return false;
    }
    if (len > n - i) return false;
    for (size_t k = 1; k < len; ++k) {
      const auto b = static_cast<uint8_t>(bytes[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFD) return false;
    i += len;
  }
  return true;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  // Lists sort thousands of dates and names that mostly differ in a byte
  // where case plays no part: skip equal bytes a word at a time.
  size_t i = 0;
  while (i < n) {
    if (i + 8 <= n && std::memcmp(a.data() + i, b.data() + i, 8) == 0) {
      i += 8;
      continue;
    }
    auto ca = static_cast<unsigned char>(a[i]);
    auto cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace fq

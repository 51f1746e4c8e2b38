#include "engine/sqlite/TextEncoding.h"

namespace fq {

namespace {

void appendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | ((c >> 18) & 0x07)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void appendUnit(std::string& out, uint32_t unit, bool bigEndian) {
  const auto high = static_cast<char>((unit >> 8) & 0xFF);
  const auto low = static_cast<char>(unit & 0xFF);
  out.push_back(bigEndian ? high : low);
  out.push_back(bigEndian ? low : high);
}

// The code point of the UTF-8 sequence at `at`, advancing `at`; U+FFFD for a
// byte that does not start a complete, well-formed sequence.
uint32_t nextCodePoint(std::string_view s, size_t& at) {
  const auto b0 = static_cast<uint8_t>(s[at++]);
  if (b0 < 0x80) return b0;
  size_t length = 0;
  uint32_t c = 0;
  uint32_t least = 0;
  if ((b0 & 0xE0) == 0xC0) {
    length = 1;
    c = b0 & 0x1F;
    least = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 2;
    c = b0 & 0x0F;
    least = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 3;
    c = b0 & 0x07;
    least = 0x10000;
  } else {
    return 0xFFFD;
  }
  if (length > s.size() - at) return 0xFFFD;
  for (size_t k = 0; k < length; ++k) {
    const auto b = static_cast<uint8_t>(s[at + k]);
    if ((b & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < least || c > 0x10FFFF) return 0xFFFD;
  at += length;
  return c;
}

}  // namespace

TextEncoding textEncodingOf(uint32_t headerValue) {
  if (headerValue == 2) return TextEncoding::Utf16le;
  if (headerValue == 3) return TextEncoding::Utf16be;
  return TextEncoding::Utf8;
}

std::string textToUtf8(std::span<const uint8_t> stored, TextEncoding encoding) {
  if (encoding == TextEncoding::Utf8)
    return std::string(reinterpret_cast<const char*>(stored.data()), stored.size());
  const bool bigEndian = encoding == TextEncoding::Utf16be;
  const size_t units = stored.size() / 2;
  auto unitAt = [&](size_t i) {
    const uint32_t first = stored[2 * i];
    const uint32_t second = stored[2 * i + 1];
    return bigEndian ? (first << 8) | second : (second << 8) | first;
  };
  std::string out;
  out.reserve(stored.size() * 3 / 2);
  for (size_t i = 0; i < units; ++i) {
    uint32_t c = unitAt(i);
    if (c >= 0xD800 && c < 0xE000 && i + 1 < units) {
      // The library trusts the pair: the next unit is taken as its low half
      // whatever it holds.
      const uint32_t c2 = unitAt(++i);
      c = (c2 & 0x03FF) + ((c & 0x003F) << 10) + (((c & 0x03C0) + 0x0040) << 10);
    }
    appendUtf8(out, c);
  }
  return out;
}

std::string textFromUtf8(std::string_view utf8, TextEncoding encoding) {
  if (encoding == TextEncoding::Utf8) return std::string(utf8);
  const bool bigEndian = encoding == TextEncoding::Utf16be;
  std::string out;
  out.reserve(utf8.size() * 2);
  size_t at = 0;
  while (at < utf8.size()) {
    const uint32_t c = nextCodePoint(utf8, at);
    if (c >= 0x10000) {
      appendUnit(out, 0xD800 + ((c - 0x10000) >> 10), bigEndian);
      appendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), bigEndian);
    } else {
      appendUnit(out, c, bigEndian);
    }
  }
  return out;
}

}  // namespace fq

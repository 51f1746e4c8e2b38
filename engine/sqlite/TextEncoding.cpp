#include "engine/sqlite/TextEncoding.h"

#include "engine/platform/Text.h"

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
    uint32_t c = 0xFFFD;
    const size_t length = Utf8SequenceLength(utf8.substr(at), c);
    // A byte that starts no valid sequence stands for U+FFFD on its own.
    if (length == 0) c = 0xFFFD;
    at += length == 0 ? 1 : length;
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

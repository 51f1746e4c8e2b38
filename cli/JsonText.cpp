#include "cli/JsonText.h"

#include <cstdint>
#include <cstring>

#include "engine/platform/Text.h"

namespace fq::cli {
namespace {

constexpr uint64_t EveryByte(uint8_t b) { return 0x0101010101010101ull * b; }

// Whether a byte of `w` is below `n` (n <= 128; exact as to existence).
constexpr uint64_t HasByteBelow(uint64_t w, uint8_t n) { return (w - EveryByte(n)) & ~w & EveryByte(0x80); }

bool NeedsNoEscape(std::string_view text) {
  // Eight bytes at a time: none at or above 0x80, below 0x20, '"' or '\\'.
  size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    uint64_t w = 0;
    std::memcpy(&w, text.data() + at, 8);
    if ((w & EveryByte(0x80)) != 0 || HasByteBelow(w, 0x20) != 0 ||
        HasByteBelow(w ^ EveryByte('"'), 1) != 0 || HasByteBelow(w ^ EveryByte('\\'), 1) != 0) {
      return false;
    }
  }
  for (const char c : text.substr(at)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x80 || c == '"' || c == '\\') return false;
  }
  return true;
}

void AppendEscaped(std::string& out, std::string_view valid) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (const char c : valid) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out.push_back(kHex[byte >> 4]);
          out.push_back(kHex[byte & 0x0F]);
        } else {
          out.push_back(c);
        }
    }
  }
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  if (NeedsNoEscape(text)) {
    out.append(text);
  } else {
    AppendEscaped(out, ToValidUtf8(text));
  }
  out.push_back('"');
}

void JsonRecord::key(std::string_view name) {
  if (!m_first) m_out += ", ";
  m_first = false;
  AppendJsonString(m_out, name);
  m_out += ": ";
}

JsonRecord& JsonRecord::field(std::string_view name, std::string_view text) {
  key(name);
  AppendJsonString(m_out, text);
  return *this;
}

JsonRecord& JsonRecord::field(std::string_view name, int64_t number) {
  key(name);
  m_out += std::to_string(number);
  return *this;
}

}  // namespace fq::cli

#include "cli/JsonText.h"

#include "engine/platform/Text.h"

namespace fq::cli {
namespace {

bool NeedsNoEscape(std::string_view text) {
  for (const char c : text) {
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
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
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

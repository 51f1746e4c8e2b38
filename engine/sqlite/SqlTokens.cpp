#include "engine/sqlite/SqlTokens.h"

#include <cctype>

#include "engine/platform/Text.h"

namespace fq {

namespace {

bool isWordByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '_' || b == '$' ||
         b >= 0x80;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The end of the number starting at `i`: digits with an optional fraction
// and exponent, or a hexadecimal integer.
size_t numberEnd(std::string_view sql, size_t i) {
  const size_t n = sql.size();
  if (sql[i] == '0' && i + 2 < n && (sql[i + 1] == 'x' || sql[i + 1] == 'X')) {
    i += 2;
    while (i < n && std::isxdigit(static_cast<unsigned char>(sql[i]))) ++i;
    return i;
  }
  while (i < n && isDigit(sql[i])) ++i;
  if (i < n && sql[i] == '.') {
    ++i;
    while (i < n && isDigit(sql[i])) ++i;
  }
  if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
    size_t at = i + 1;
    if (at < n && (sql[at] == '+' || sql[at] == '-')) ++at;
    if (at < n && isDigit(sql[at])) {
      i = at;
      while (i < n && isDigit(sql[i])) ++i;
    }
  }
  return i;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

}  // namespace

std::string SqlToken::value() const {
  if ((kind != Kind::Quoted && kind != Kind::String) || text.empty()) return std::string(text);
  const char open = text.front();
  const char close = open == '[' ? ']' : open;
  std::string out;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] != close) {
      out.push_back(text[i]);
      continue;
    }
    // Brackets have no escape; other quotes are escaped by doubling.
    if (close != ']' && i + 1 < text.size() && text[i + 1] == close) {
      out.push_back(close);
      ++i;
      continue;
    }
    break;
  }
  return out;
}

bool SqlToken::isKeyword(std::string_view keyword) const {
  return kind == Kind::Word && CompareNoCase(text, keyword) == 0;
}

std::vector<SqlToken> tokenizeSql(std::string_view sql) {
  std::vector<SqlToken> tokens;
  size_t i = 0;
  const size_t n = sql.size();
  while (i < n) {
    const char c = sql[i];
    if (isSpace(c)) {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      const size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? n : end + 2;
      continue;
    }
    const size_t start = i;
    if (c == '"' || c == '\'' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      ++i;
      while (i < n) {
        if (sql[i] == close) {
          if (close != ']' && i + 1 < n && sql[i + 1] == close) {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
      tokens.push_back(
          {c == '\'' ? SqlToken::Kind::String : SqlToken::Kind::Quoted, sql.substr(start, i - start)});
      continue;
    }
    if (isDigit(c) || (c == '.' && i + 1 < n && isDigit(sql[i + 1]))) {
      i = numberEnd(sql, i);
      tokens.push_back({SqlToken::Kind::Number, sql.substr(start, i - start)});
      continue;
    }
    if (isWordByte(c)) {
      while (i < n && isWordByte(sql[i])) ++i;
      tokens.push_back({SqlToken::Kind::Word, sql.substr(start, i - start)});
      continue;
    }
    ++i;
    tokens.push_back({SqlToken::Kind::Punctuation, sql.substr(start, 1)});
  }
  return tokens;
}

}  // namespace fq

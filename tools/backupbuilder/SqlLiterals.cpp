#include "tools/backupbuilder/SqlLiterals.h"

#include <cstdio>

namespace fq::builder {

std::string SqlText(const std::string& value) {
  std::string out = "'";
  for (const char c : value) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  return out + "'";
}

std::string SqlText(const std::optional<std::string>& value) { return value ? SqlText(*value) : "NULL"; }

std::string SqlInteger(int64_t value) { return std::to_string(value); }

std::string SqlInteger(const std::optional<int64_t>& value) { return value ? SqlInteger(*value) : "NULL"; }

std::string SqlReal(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

std::string SqlBlob(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out = "X'";
  for (const uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out + "'";
}

}  // namespace fq::builder

#include "engine/format/SizeText.h"

#include <cinttypes>
#include <cstdio>

namespace fq {
namespace {

std::string Scaled(int64_t bytes, int64_t unit, const char* unitText) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f%s", static_cast<double>(bytes) / static_cast<double>(unit),
                unitText);
  return text;
}

std::string Plain(int64_t bytes) {
  char text[64];
  std::snprintf(text, sizeof text, "%" PRId64 " Bytes", bytes);
  return text;
}

}  // namespace

std::string SizeText(int64_t bytes) {
  constexpr int64_t kKB = 1024;
  constexpr int64_t kMB = kKB * 1024;
  constexpr int64_t kGB = kMB * 1024;
  constexpr int64_t kTB = kGB * 1024;
  if (bytes >= kTB) return Scaled(bytes, kTB, " TB");
  if (bytes < 0) return Plain(bytes);
  if (bytes >= kGB) return Scaled(bytes, kGB, " GB");
  if (bytes >= kMB) return Scaled(bytes, kMB, " MB");
  if (bytes >= kKB) return Scaled(bytes, kKB, " KB");
  return Plain(bytes);
}

}  // namespace fq

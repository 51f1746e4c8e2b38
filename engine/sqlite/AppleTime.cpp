#include "engine/sqlite/AppleTime.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace fq {

std::string DateFromUnixSeconds(int64_t seconds) {
  // Years 0 to 9999 keep the text fixed-width, which the lists sort by.
  constexpr int64_t kLimit = int64_t{253402300799};  // 9999-12-31 23:59:59 UTC
  if (seconds < -62167219200 + 86400 || seconds > kLimit - 86400) return {};
  const auto t = static_cast<time_t>(seconds);
  struct tm local {};
  if (localtime_r(&t, &local) == nullptr) return {};
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

std::string DateFromAppleSeconds(int64_t seconds) {
  if (seconds > INT64_MAX - kAppleEpochOffset) return {};
  return DateFromUnixSeconds(seconds + kAppleEpochOffset);
}

std::string DateFromAppleNanoseconds(int64_t nanoseconds) {
  return DateFromAppleSeconds(nanoseconds / 1000000000);
}

std::string DateFromAppleSecondsReal(double seconds) {
  if (!std::isfinite(seconds) || std::fabs(seconds) > 1e15) return {};
  return DateFromAppleSeconds(static_cast<int64_t>(std::trunc(seconds)));
}

}  // namespace fq

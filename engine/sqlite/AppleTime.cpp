#include "engine/sqlite/AppleTime.h"

#include <cmath>
#include <ctime>

namespace fq {

std::string DateFromUnixSeconds(int64_t seconds) {
  // Years 0 to 9999 keep the text fixed-width, which the lists sort by.
  constexpr int64_t kLimit = int64_t{253402300799};  // 9999-12-31 23:59:59 UTC
  if (seconds < -62167219200 + 86400 || seconds > kLimit - 86400) return {};
  const auto t = static_cast<time_t>(seconds);
  struct tm local {};
  if (localtime_r(&t, &local) == nullptr) return {};
  // Every field is within its fixed width here (the year is 0 to 9999), so
  // the digits are written directly: dated lists format one text per row.
  std::string text = "0000-00-00 00:00:00";
  const auto put = [&text](size_t at, int value, size_t width) {
    for (size_t i = width; i > 0; --i) {
      text[at + i - 1] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
  };
  put(0, local.tm_year + 1900, 4);
  put(5, local.tm_mon + 1, 2);
  put(8, local.tm_mday, 2);
  put(11, local.tm_hour, 2);
  put(14, local.tm_min, 2);
  put(17, local.tm_sec, 2);
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

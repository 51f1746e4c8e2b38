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
  // the digits are written directly, two at a time, into the one text
  // returned: dated lists format one text per row.
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  char text[] = "0000-00-00 00:00:00";
  const auto put = [&text](size_t at, int value) {
    const size_t pair = static_cast<size_t>(static_cast<unsigned>(value) % 100) * 2;
    text[at] = kPairs[pair];
    text[at + 1] = kPairs[pair + 1];
  };
  const int year = local.tm_year + 1900;
  put(0, year / 100);
  put(2, year % 100);
  put(5, local.tm_mon + 1);
  put(8, local.tm_mday);
  put(11, local.tm_hour);
  put(14, local.tm_min);
  put(17, local.tm_sec);
  return std::string(text, sizeof text - 1);
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

#pragma once
// Date texts of the phone's databases: local time "YYYY-MM-DD HH:MM:SS" from
// the epochs the tables use. Apple dates count from 2001-01-01 00:00:00 UTC,
// which is 978,307,200 seconds after the Unix epoch. Local time follows TZ.
// Every function returns an empty text for a value no calendar can show.
#include <cstdint>
#include <string>

namespace fq {

inline constexpr int64_t kAppleEpochOffset = 978307200;

std::string DateFromUnixSeconds(int64_t seconds);
std::string DateFromAppleSeconds(int64_t seconds);
std::string DateFromAppleNanoseconds(int64_t nanoseconds);
// A floating-point number of seconds, truncated toward zero.
std::string DateFromAppleSecondsReal(double seconds);

}  // namespace fq

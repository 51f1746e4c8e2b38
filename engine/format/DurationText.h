#pragma once
// A number of seconds as the lists show it: "59 Sec", "1 Min 0 Sec", "1 Hour 1 Min".
#include <cstdint>
#include <string>

namespace fq {

std::string DurationText(int64_t seconds);

}  // namespace fq

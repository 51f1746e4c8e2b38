#pragma once
// Result codes shared by every operation of the engine. 0 is success; system
// error numbers (errno) and the device library's negative codes pass through.
#include <cstdint>

namespace fq {

inline constexpr int32_t kOk = 0;
inline constexpr int32_t kCancelled = 2;  // a progress callback said stop
inline constexpr int32_t kShortRead = 30;
inline constexpr int32_t kInvalid = 87;        // missing file, wrong format, bad parameter
inline constexpr int32_t kQueryFailed = 1006;  // missing table or failed query
inline constexpr int32_t kMbdbUnopenable = 6009;
inline constexpr int32_t kDeviceGaveUp = -1;
inline constexpr int32_t kWrongPassword = -110;

}  // namespace fq

#include "engine/format/DurationText.h"

#include <cinttypes>
#include <cstdio>

namespace fq {

std::string DurationText(int64_t seconds) {
  char text[64];
  // A negative duration (a clock set back during the call) shows as plain seconds.
  if (seconds >= 3600) {
    // Hours drop the seconds: a call of 1 h 0 min 59 s shows as "1 Hour 0 Min".
    std::snprintf(text, sizeof text, "%" PRId64 " Hour %" PRId64 " Min", seconds / 3600,
                  (seconds % 3600) / 60);
  } else if (seconds >= 60) {
    std::snprintf(text, sizeof text, "%" PRId64 " Min %" PRId64 " Sec", seconds / 60, seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%" PRId64 " Sec", seconds);
  }
  return text;
}

}  // namespace fq

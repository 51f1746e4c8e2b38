#pragma once
// The progress state of a recovery object: the callback, the percent reached
// so far and the points one category step is worth.
#include <cstdint>

#include "engine/ProgressCallback.h"

namespace fq {

struct ProgressState {
  ProgressCallback callback;
  int32_t current = 0;
  int32_t step = 0;

  // The callback's answer, 0 when there is none.
  int32_t report(int32_t percent) const { return callback ? callback(percent) : 0; }
  // Grows the percent reached by `points` and reports it.
  int32_t grow(int32_t points) {
    current += points;
    return report(current);
  }
};

}  // namespace fq

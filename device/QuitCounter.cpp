#include "device/QuitCounter.h"

namespace fq {

std::atomic<int>& QuitCounter() {
  static std::atomic<int> counter{0};
  return counter;
}

}  // namespace fq

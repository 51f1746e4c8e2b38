#pragma once
// One call of the call history.
#include <cstdint>
#include <string>

namespace fq {

struct CallRecord {
  int32_t deleted = 0;
  int32_t incoming = 0;  // 1 when the call was not placed from the phone
  int32_t duration = 0;  // seconds; 0 for a call that was not connected
  std::string date;
  std::string number;  // never empty
  std::string name;    // only for numbers longer than 4 characters
  bool operator==(const CallRecord&) const = default;
};

}  // namespace fq

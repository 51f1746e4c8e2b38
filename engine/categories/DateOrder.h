#pragma once
// The order every dated list is shown in: by date text, compared without
// regard to case, oldest first; records of equal date keep their reading order.
#include <algorithm>
#include <vector>

#include "engine/platform/Text.h"

namespace fq {

template <typename Record>
void SortByDateText(std::vector<Record>& records) {
  if (records.size() < 2) return;
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& a, const Record& b) { return CompareNoCase(a.date, b.date) < 0; });
}

}  // namespace fq

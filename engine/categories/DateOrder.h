#pragma once
// The order every dated list is shown in: by date text, compared without
// regard to case, oldest first; records of equal date keep their reading order.
#include <algorithm>
#include <cstddef>
#include <map>
#include <numeric>
#include <vector>

#include "engine/platform/Text.h"

namespace fq {

// Positions of `records` in that order. Sorting positions rather than the
// records themselves moves no record and needs no second copy of the list,
// which matters for a phone's hundreds of thousands of messages.
template <typename Record>
std::vector<size_t> DateTextOrder(const std::vector<Record>& records) {
  std::vector<size_t> order(records.size());
  std::iota(order.begin(), order.end(), size_t{0});
  // A merge sort: its comparisons stay near n log n whatever the order of the
  // dates, where a quicksort can meet patterns that cost it several times that.
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return CompareNoCase(records[a].date, records[b].date) < 0; });
  return order;
}

// Moves `records` into `lists` (a map of vectors keyed by `keyOf`), each list
// in date order, with each vector sized once for what it receives.
template <typename Record, typename Lists, typename KeyOf, typename Keep>
void FileByDateText(std::vector<Record>& records, Lists& lists, KeyOf keyOf, Keep keep) {
  std::map<decltype(keyOf(records.front())), size_t> counts;
  for (const Record& r : records) {
    if (keep(r)) ++counts[keyOf(r)];
  }
  for (const auto& [key, count] : counts) lists[key].reserve(lists[key].size() + count);
  for (const size_t i : DateTextOrder(records)) {
    if (keep(records[i])) lists[keyOf(records[i])].push_back(std::move(records[i]));
  }
}

template <typename Record>
void SortByDateText(std::vector<Record>& records) {
  if (records.size() < 2) return;
  const std::vector<size_t> order = DateTextOrder(records);
  std::vector<Record> sorted;
  sorted.reserve(records.size());
  for (const size_t i : order) sorted.push_back(std::move(records[i]));
  records.swap(sorted);
}

}  // namespace fq

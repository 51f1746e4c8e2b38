#pragma once
// The order every dated list is shown in: by date text, compared without
// regard to case, oldest first; records of equal date keep their reading order.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "engine/platform/Text.h"

namespace fq {

// The date texts the decoders write ("YYYY-MM-DD HH:MM:SS", or empty when a
// row has no date) as numbers in the same order: for texts of that one shape
// the case-free comparison is a comparison of their fourteen digits, and an
// empty text comes before every other. Nothing for any other text.
inline std::optional<uint64_t> NumericDateKey(const std::string& date) {
  if (date.empty()) return 0;
  if (date.size() != 19 || date[4] != '-' || date[7] != '-' || date[10] != ' ' || date[13] != ':' ||
      date[16] != ':') {
    return std::nullopt;
  }
  static constexpr size_t kDigits[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
  uint64_t key = 0;
  for (const size_t at : kDigits) {
    const auto digit = static_cast<uint8_t>(date[at] - '0');
    if (digit > 9) return std::nullopt;
    key = key * 10 + digit;
  }
  return key + 1;
}

// Positions of `records` in that order. Sorting positions rather than the
// records themselves moves no record and needs no second copy of the list,
// which matters for a phone's hundreds of thousands of messages.
template <typename Record>
std::vector<size_t> DateTextOrder(const std::vector<Record>& records) {
  // The usual case: every date has the decoders' shape, and the positions are
  // sorted by a number kept beside them instead of by text.
  struct Numbered {
    uint64_t key = 0;
    size_t position = 0;
  };
  std::vector<Numbered> numbered;
  numbered.reserve(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    const std::optional<uint64_t> key = NumericDateKey(records[i].date);
    if (!key) break;
    numbered.push_back({*key, i});
  }
  std::vector<size_t> order(records.size());
  if (numbered.size() == records.size()) {
    // A merge sort: its comparisons stay near n log n whatever the order of
    // the dates, where a quicksort can meet patterns that cost it several
    // times that.
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const Numbered& a, const Numbered& b) { return a.key < b.key; });
    for (size_t i = 0; i < numbered.size(); ++i) order[i] = numbered[i].position;
    return order;
  }
  numbered = {};
  // Any other text: the dates are first copied, case-folded, side by side;
  // comparing them in place would chase a pointer to each record's text for
  // every comparison.
  struct Key {
    std::array<char, 23> folded{};  // every date text "YYYY-MM-DD HH:MM:SS" fits
    uint8_t length = 0;             // of the text, up to 255
  };
  std::vector<Key> keys(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    const std::string& date = records[i].date;
    keys[i].length = static_cast<uint8_t>(std::min<size_t>(date.size(), 255));
    for (size_t c = 0; c < std::min(date.size(), keys[i].folded.size()); ++c) {
      const char ch = date[c];
      keys[i].folded[c] = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
    }
  }
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const Key& ka = keys[a];
    const Key& kb = keys[b];
    const size_t kept = ka.folded.size();
    if (ka.length > kept || kb.length > kept) {
      return CompareNoCase(records[a].date, records[b].date) < 0;
    }
    const int bytes = std::memcmp(ka.folded.data(), kb.folded.data(), std::min(ka.length, kb.length));
    return bytes != 0 ? bytes < 0 : ka.length < kb.length;
  });
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

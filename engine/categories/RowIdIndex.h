#pragma once
// How the category readers join one table's rows to another's: an index of
// row ids built once, instead of a search of the other table for every row.
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace fq {

// `key(record)` -> position of the first record holding it, skipping 0: a
// carved row has lost its row id, and 0 is also what a row without a link
// holds, so 0 joins nothing.
template <typename Record, typename Key>
std::unordered_map<int32_t, size_t> FirstByRowId(const std::vector<Record>& records, Key key) {
  std::unordered_map<int32_t, size_t> index;
  index.reserve(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    if (const int32_t id = key(records[i]); id != 0) index.emplace(id, i);
  }
  return index;
}

}  // namespace fq

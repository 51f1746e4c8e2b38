#pragma once
// Earlier versions of live rows: when the phone rewrites a row (a message
// marked read, a chat updated) the old copy stays in free space. A copy found
// there with the identity of a row that still lives is that row's past, not a
// deletion.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace fq {

// The column that identifies a row across its versions in the phone tables
// that have one (message guid, WhatsApp stanza id, call and legacy note ids);
// empty for any other table. Table names compare without case.
std::string_view IdentityColumnOf(std::string_view tableName);

// The identities of one table's live rows, filled while its rows are read:
// live rows come before any row found in free space.
class EarlierVersions {
 public:
  // Records a live row's identity (false), or tells whether a row found in
  // free space has the identity of a live row. An empty identity matches nothing.
  bool check(std::string_view identity, bool deleted) {
    if (identity.empty()) return false;
    // Kept as 64-bit hashes: no allocation per live row, and a false match
    // among a phone's rows is beyond reach.
    const uint64_t hash = std::hash<std::string_view>{}(identity);
    if (!deleted) {
      if (!m_live.empty() && hash < m_live.back()) m_sorted = false;
      m_live.push_back(hash);
      return false;
    }
    // Side by side and sorted once, when the first row found in free space
    // asks: a hash set's scattered nodes cost a cache miss for each of a
    // table's live rows. A live row after that (not the reading order) only
    // costs another sort.
    if (!m_sorted) {
      std::sort(m_live.begin(), m_live.end());
      m_sorted = true;
    }
    return std::binary_search(m_live.begin(), m_live.end(), hash);
  }

 private:
  std::vector<uint64_t> m_live;
  bool m_sorted = true;
};

}  // namespace fq

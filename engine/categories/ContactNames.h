#pragma once
// Names for a phone number or address from the address book's contacts, as the
// messages and call history show them: the first contact (in reading order)
// whose phone text holds the number as a substring.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/records/ContactRecord.h"

namespace fq {

// The name of the first contact whose phone text contains `number`; empty
// when none does or `number` is empty.
std::string NameOfContactHolding(const std::vector<ContactRecord>& contacts, std::string_view number);

// The same answer for every message and call of a phone, without searching
// every contact for every number: once plain searches have scanned the phone
// texts several times over, the texts are indexed by their four-byte pieces;
// each number is looked up once.
class ContactNameLookup {
 public:
  explicit ContactNameLookup(const std::vector<ContactRecord>& contacts);
  const std::string& nameFor(const std::string& number);

 private:
  static constexpr size_t kGram = 4;
  // About what building the index costs, in bytes of phone text a plain
  // search scans for the same work (measured: some twenty). Searching plainly
  // up to that point wastes at most what the index would have cost.
  static constexpr size_t kIndexCostInPlainBytes = 16;
  void buildIndex();
  // Index of the first contact whose phone text contains `number`, or npos.
  size_t firstContactHolding(std::string_view number) const;
  size_t contactAt(size_t position) const;

  const std::vector<ContactRecord>& m_contacts;
  bool m_indexable = true;       // false when a phone text holds a NUL, or the texts are too large
  bool m_indexed = false;        // built
  size_t m_phoneBytes = 0;       // every phone text with one separator byte each
  size_t m_plainBudget = 0;      // bytes of plain search before the index
  size_t m_plainScanned = 0;     // bytes of phone text the plain searches went through
  std::string m_phones;          // every phone text, each followed by a NUL
  std::vector<size_t> m_starts;  // where each contact's text starts in m_phones
  std::vector<std::pair<uint32_t, uint32_t>> m_grams;  // (four bytes, position), sorted
  std::unordered_map<std::string, std::string> m_names;
};

}  // namespace fq

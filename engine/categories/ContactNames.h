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
// every contact for every number: the phone texts are indexed once by their
// four-byte pieces, and each number is looked up once.
class ContactNameLookup {
 public:
  explicit ContactNameLookup(const std::vector<ContactRecord>& contacts);
  const std::string& nameFor(const std::string& number);

 private:
  static constexpr size_t kGram = 4;
  // Index of the first contact whose phone text contains `number`, or npos.
  size_t firstContactHolding(std::string_view number) const;
  size_t contactAt(size_t position) const;

  const std::vector<ContactRecord>& m_contacts;
  bool m_indexed = true;                               // false when a phone text holds a NUL
  std::string m_phones;                                // every phone text, each followed by a NUL
  std::vector<size_t> m_starts;                        // where each contact's text starts in m_phones
  std::vector<std::pair<uint32_t, uint32_t>> m_grams;  // (four bytes, position), sorted
  std::unordered_map<std::string, std::string> m_names;
};

}  // namespace fq

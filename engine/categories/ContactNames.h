#pragma once
// Names for a phone number or address from the address book's contacts, as the
// messages and call history show them: the first contact (in reading order)
// whose phone text holds the number as a substring.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/records/ContactRecord.h"

namespace fq {

// The name of the first contact whose phone text contains `number`; empty
// when none does or `number` is empty.
std::string NameOfContactHolding(const std::vector<ContactRecord>& contacts, std::string_view number);

// The same question asked for every message or call of a phone. A phone has
// far fewer numbers than messages, so each number is searched for once.
class ContactNameLookup {
 public:
  explicit ContactNameLookup(const std::vector<ContactRecord>& contacts) : m_contacts(contacts) {}
  const std::string& nameFor(const std::string& number);

 private:
  const std::vector<ContactRecord>& m_contacts;
  std::unordered_map<std::string, std::string> m_names;
};

}  // namespace fq

#include "engine/categories/ContactNames.h"

namespace fq {

std::string NameOfContactHolding(const std::vector<ContactRecord>& contacts, std::string_view number) {
  if (number.empty()) return {};
  for (const ContactRecord& contact : contacts) {
    if (contact.phone.find(number) != std::string::npos) return contact.name;
  }
  return {};
}

const std::string& ContactNameLookup::nameFor(const std::string& number) {
  const auto found = m_names.find(number);
  if (found != m_names.end()) return found->second;
  return m_names.emplace(number, NameOfContactHolding(m_contacts, number)).first->second;
}

}  // namespace fq

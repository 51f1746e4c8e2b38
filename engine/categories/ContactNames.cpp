#include "engine/categories/ContactNames.h"

namespace fq {

std::string NameOfContactHolding(const std::vector<ContactRecord>& contacts, std::string_view number) {
  if (number.empty()) return {};
  for (const ContactRecord& contact : contacts) {
    if (contact.phone.find(number) != std::string::npos) return contact.name;
  }
  return {};
}

}  // namespace fq

#pragma once
// Names for a phone number or address from the address book's contacts, as the
// messages and call history show them: the first contact (in reading order)
// whose phone text holds the number as a substring.
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/ContactRecord.h"

namespace fq {

// The name of the first contact whose phone text contains `number`; empty
// when none does or `number` is empty.
std::string NameOfContactHolding(const std::vector<ContactRecord>& contacts, std::string_view number);

}  // namespace fq

#pragma once
// The contacts of the address book's full-text content table, live and
// deleted, with their phone spellings cleaned up; and the raw dump of that
// table (Contacts.csv).
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/ContactRecord.h"

namespace fq {

// Reads the address book into `contacts` (sorted by name; contacts without a
// phone dropped) and stores the highest contact row id seen into
// `highestRowId`. 0 or the open error.
int32_t readContacts(const std::filesystem::path& addressBookPath, bool newerThan11,
                     std::vector<ContactRecord>& contacts, int64_t& highestRowId);

// One line per number of the space-separated phone text the index holds
// ("(919) 888-7386 +19198887386 9198887386 "): each number once, whole, as
// the phone spells it first; the index's other spellings of it and numbers of
// fewer than seven digits are left out. Only text followed by a space counts.
std::string CleanPhoneSpellings(std::string_view phoneText);

// Appends one line per decodable content-table row to `csvPath`; rows without
// a row id continue from `highestRowId`. 0 or an open error.
int32_t writeContactsCsv(const std::filesystem::path& addressBookPath, const std::filesystem::path& csvPath,
                         int64_t highestRowId);

}  // namespace fq

#pragma once
// The calls of the call history database, live and deleted, named after the
// matching contacts of the address book.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "engine/records/CallRecord.h"

namespace fq {

// Appends the calls of `historyPath` to `calls`, sorted by date. The SQLite
// library tells whether the file holds the newer ZCALLRECORD table or the
// older call table. Returns 0, the library's open error, or the page reader's
// open error of either file (calls already read stay, without names).
int32_t readCalls(const std::filesystem::path& historyPath, const std::filesystem::path& addressBookPath,
                  bool newerThan11, std::vector<CallRecord>& calls);

}  // namespace fq

#pragma once
// The messages of the phone's message database, live and deleted, joined with
// their handles, attachments and the address book's contact names; and the raw
// dump of the message table (sms.csv).
#include <cstdint>
#include <filesystem>

#include "engine/ProgressState.h"
#include "engine/records/MessageRecords.h"

namespace fq {

// Reads the message database and the address book into `conversations`.
// Reports its stages within `progress` (current plus a share of the step);
// a nonzero answer ends it with that answer and adds nothing. Returns the
// last answer when a callback is set, else 0 or the first open error (87 for
// a missing file). Without the address book the messages are listed without
// contact names. The highest message row id seen is stored into `highestRowId`.
int32_t readMessages(const std::filesystem::path& messagePath, const std::filesystem::path& addressBookPath,
                     bool newerThan11, const ProgressState& progress, ConversationMap& conversations,
                     int64_t& highestRowId);

// Appends one line per decodable message row to `csvPath`, every stored value
// written (64-bit dates included); rows without a row id continue from
// `highestRowId` (the value readMessages stored). Old copies of rewritten rows
// are left out, as the message list leaves them out. 0 or the open error of
// the database or of the output file.
int32_t writeMessagesCsv(const std::filesystem::path& messagePath, const std::filesystem::path& csvPath,
                         int64_t highestRowId);

}  // namespace fq

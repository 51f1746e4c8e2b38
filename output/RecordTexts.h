#pragma once
// The texts the reports, text files and print page show for a record: who
// spoke, and how long a call lasted.
#include <cstdint>
#include <string>

#include "engine/records/CallRecord.h"
#include "engine/records/MessageRecords.h"
#include "engine/records/WhatsAppRecords.h"

namespace fq {

// The contact name, or the address when the name is empty or "Unknown".
std::string MessageSender(const MessageRecord& message);
// "name(address)" when the name is neither empty nor "Unknown", else the address.
std::string MessagePerson(const MessageRecord& message);

// The sender name, or the sender phone when the name is empty or "Unknown".
std::string ChatSender(const WhatsAppMessageRecord& message);
// "name(phone)" when the sender name is neither empty nor "Unknown", else the phone.
std::string ChatPerson(const WhatsAppMessageRecord& message);

// The duration of a connected call ("59 Sec", "1 Min 0 Sec", "1 Hour 2 Min",
// and "%d Sec" for a negative count), "Missed" for an unconnected incoming
// call and "Canceled" for an unconnected outgoing one.
std::string CallDurationText(const CallRecord& call);

// "Incoming" or "Outgoing".
std::string CallDirectionText(const CallRecord& call);

}  // namespace fq

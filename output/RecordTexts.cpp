#include "output/RecordTexts.h"

#include <string_view>

namespace fq {
namespace {

bool IsNamed(std::string_view name) { return !name.empty() && name != "Unknown"; }

std::string SecondsText(int64_t s) {
  if (s < 60) return std::to_string(s) + " Sec";  // negative counts too
  if (s >= 3600) return std::to_string(s / 3600) + " Hour " + std::to_string((s % 3600) / 60) + " Min";
  return std::to_string(s / 60) + " Min " + std::to_string(s % 60) + " Sec";
}

}  // namespace

std::string MessageSender(const MessageRecord& m) {
  return IsNamed(m.contactName) ? m.contactName : m.address;
}

std::string MessagePerson(const MessageRecord& m) {
  return IsNamed(m.contactName) ? m.contactName + "(" + m.address + ")" : m.address;
}

std::string ChatSender(const WhatsAppMessageRecord& m) {
  return IsNamed(m.senderName) ? m.senderName : m.senderPhone;
}

std::string ChatPerson(const WhatsAppMessageRecord& m) {
  return IsNamed(m.senderName) ? m.senderName + "(" + m.senderPhone + ")" : m.senderPhone;
}

std::string CallDurationText(const CallRecord& call) {
  if (call.duration != 0) return SecondsText(call.duration);
  return call.incoming ? "Missed" : "Canceled";
}

std::string CallDirectionText(const CallRecord& call) { return call.incoming ? "Incoming" : "Outgoing"; }

}  // namespace fq

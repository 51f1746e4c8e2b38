#pragma once
// Records of the WhatsApp chat database.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fq {

struct WhatsAppMessageRecord {
  int32_t deleted = 0;
  int32_t fromMe = 0;
  int32_t rowId = 0;
  int32_t chatRowId = -1;  // -1 when absent
  int32_t memberRowId = 0;
  int32_t mediaRowId = 0;  // newer table layout only
  std::string date;
  std::string senderName;  // "Me" for own messages
  std::string text;        // or the media path; never empty when kept
  std::string senderPhone;
  std::string chatTitle;
  std::string chatPhones;
  std::string partnerName;
  std::string spare;  // always empty
  bool operator==(const WhatsAppMessageRecord&) const = default;
};

struct WhatsAppChatRecord {
  int32_t rowId = 0;
  std::string partnerPhone;  // user part of the partner address
  std::string partnerName;
  std::string memberNames;   // comma-separated
  std::string memberPhones;  // comma-separated
  bool operator==(const WhatsAppChatRecord&) const = default;
};

struct WhatsAppMemberRecord {
  int32_t rowId = 0;
  int32_t chatRowId = 0;
  std::string phone;
  std::string name;
  bool operator==(const WhatsAppMemberRecord&) const = default;
};

struct WhatsAppMediaRecord {
  int32_t rowId = 0;
  std::string path;
  bool operator==(const WhatsAppMediaRecord&) const = default;
};

// Chat row id (ascending) -> messages of that chat in ascending date order.
using WhatsAppChatMap = std::map<int32_t, std::vector<WhatsAppMessageRecord>>;

}  // namespace fq

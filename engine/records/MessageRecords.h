#pragma once
// Records of the messages database: messages, the handles they belong to and
// their attachments. Texts are UTF-8 accepted by IsAcceptedText; dates are
// local-time texts "YYYY-MM-DD HH:MM:SS".
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fq {

struct MessageRecord {
  int32_t deleted = 0;  // 0 live, 1 carved
  int32_t fromMe = 0;   // 1: sent from the phone
  int32_t rowId = 0;    // 0 when carved
  int32_t handleRowId = 0;
  std::string date;
  std::string address;      // of the handle, empty when there is none
  std::string contactName;  // first contact whose phone contains the address
  std::string text;         // never empty in a kept record
  std::string attachment;   // file name of the first linked attachment
  bool operator==(const MessageRecord&) const = default;
};

struct HandleRecord {
  int32_t deleted = 0;
  int32_t rowId = 0;
  std::string address;
  bool operator==(const HandleRecord&) const = default;
};

struct AttachmentRecord {
  int32_t deleted = 0;
  int32_t rowId = 0;
  int32_t messageRowId = 0;  // 0 until the link table fills it
  std::string fileName;
  bool operator==(const AttachmentRecord&) const = default;
};

struct AttachmentLink {
  int32_t deleted = 0;
  int32_t attachmentRowId = 0;
  int32_t messageRowId = 0;
  bool operator==(const AttachmentLink&) const = default;
};

// Handle row id (ascending) -> messages of that handle in ascending date order.
using ConversationMap = std::map<int32_t, std::vector<MessageRecord>>;

}  // namespace fq

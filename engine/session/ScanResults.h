#pragma once
// The record lists one scan fills, in the order the scan fills them. The scan
// owns them; the views, the recovery output and the CLI read them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "engine/records/CallRecord.h"
#include "engine/records/ContactRecord.h"
#include "engine/records/FileRecords.h"
#include "engine/records/MessageRecords.h"
#include "engine/records/NoteRecord.h"
#include "engine/records/SkippedFile.h"
#include "engine/records/WhatsAppRecords.h"
#include "engine/session/CategoryStatus.h"
#include "engine/session/ScanCategory.h"

namespace fq {

struct ScanResults {
  std::vector<MediaFileRecord> cameraRoll;
  std::vector<MediaFileRecord> photoStream;
  ConversationMap conversations;
  std::vector<AttachmentFileRecord> messageAttachments;
  std::vector<ContactRecord> contacts;
  std::vector<CallRecord> calls;
  std::vector<NoteRecord> notes;
  std::vector<AppFileRecord> appFiles;  // split into App Photos / App Videos by extension
  WhatsAppChatMap whatsAppChats;
  std::vector<MediaFileRecord> whatsAppAttachments;
  // Categories whose database was not read whole; a category not listed was read.
  std::map<ScanCategory, CategoryStatus> status;
  // Stored files a file category left out, with why; a category not listed left none out.
  std::map<ScanCategory, std::vector<SkippedFile>> skipped;
};

// Messages and WhatsApp are listed and counted one conversation or chat at a
// time (its first message stands for it); an empty one is not listed.
template <typename Map>
size_t CountConversations(const Map& map) {
  return static_cast<size_t>(
      std::count_if(map.begin(), map.end(), [](const auto& entry) { return !entry.second.empty(); }));
}

}  // namespace fq

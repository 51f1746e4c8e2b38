#pragma once
// Names in the recovery output tree: the per-kind folders, the recovery stamp,
// names taken from records (made safe for one path component) and unique names.
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/records/MessageRecords.h"
#include "engine/records/WhatsAppRecords.h"
#include "output/ItemKind.h"

namespace fq {

// Folder under the output root that a kind writes into ("Camera Roll", "App Video",
// "Message", "WhatsApp Message", "CallHistory", ...).
std::string_view OutputFolderName(ItemKind kind);

// "%04d%02d%02d%02d%02d%02d" of a local time.
std::string RecoveryStamp(const std::tm& localTime);
std::string RecoveryStampNow();

// A name from a record or a backup made safe as one path component: separators,
// control characters and the characters other systems refuse in names become
// "_", a name of dots only cannot climb out of its folder, and a long name is cut
// (at a UTF-8 boundary, keeping a short extension) so that the folder, the stamp
// and a "(n)" suffix still fit. Never empty.
std::string SafeFileName(std::string_view name);

// The wanted path when nothing of that name exists, else base "(n)" extension
// for the first free n = 1, 2, 3, ... Empty when no free name was found.
std::filesystem::path MakeUniquePath(const std::filesystem::path& wanted);

// The same rule for one recovery writing many files, where one name can come
// back thousands of times ("image.jpeg" of every message attachment): the last
// number given for each wanted path is kept, so the next search starts after
// it instead of probing 1, 2, 3, ... again. Names are still checked against the
// folder, so a file this maker did not give is never overwritten.
class UniquePaths {
 public:
  std::filesystem::path make(const std::filesystem::path& wanted);

 private:
  std::unordered_map<std::string, int> m_lastNumber;  // wanted path -> last n given
};

// Conversation names from its first message: person is the contact name or
// "Unknown"; base is person followed by "(address)" when there is an address.
std::string ConversationPerson(const MessageRecord& first);
std::string ConversationBase(const MessageRecord& first);

// WhatsApp chat name from its first message: "title(phones)", the phones alone
// for an empty title, the partner name for a group (a title with a comma),
// "Unknown" when that leaves nothing.
std::string ChatName(const WhatsAppMessageRecord& first);

}  // namespace fq

#include "engine/categories/WhatsAppReader.h"

#include <sqlite3.h>

#include <unordered_map>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/categories/DateOrder.h"
#include "engine/categories/OpenResult.h"
#include "engine/categories/RowIdIndex.h"
#include "engine/categories/TableDecoders.h"
#include "engine/sqlite/ReadOnlyDatabase.h"

namespace fq {
namespace {

// Asks the library for the message table's column count; an empty table
// leaves `columns` as it was. 0, the open error or 1006.
int32_t countMessageColumns(const std::filesystem::path& path, int32_t& columns) {
  ReadOnlyDatabase db(path);
  if (!db.ok()) return db.openResult() != SQLITE_OK ? db.openResult() : kInvalid;
  int count = columns;
  const bool failed = db.StepThrough("select * from ZWAMESSAGE;", &count) != SQLITE_OK;
  columns = count;
  return failed ? kQueryFailed : kOk;
}

void fillMemberLists(std::vector<WhatsAppChatRecord>& chatList,
                     const std::vector<WhatsAppMemberRecord>& members) {
  std::unordered_map<int32_t, std::vector<size_t>> membersOfChat;
  for (size_t i = 0; i < members.size(); ++i) membersOfChat[members[i].chatRowId].push_back(i);
  for (WhatsAppChatRecord& chat : chatList) {
    if (chat.rowId == 0) continue;
    const auto found = membersOfChat.find(chat.rowId);
    if (found == membersOfChat.end()) continue;
    for (const size_t i : found->second) {
      const WhatsAppMemberRecord& member = members[i];
      if (chat.memberPhones.empty()) {
        chat.memberPhones = member.phone;
        chat.memberNames = member.name;
        continue;
      }
      chat.memberPhones += "," + member.phone;
      if (!member.name.empty()) chat.memberNames += "," + member.name;
    }
  }
}

// Chats, members and media items are joined by their own row id.
constexpr auto RowIdOf = [](const auto& record) { return record.rowId; };

// The chats, members and media items a message joins, indexed once per reading.
struct WhatsAppJoins {
  const std::vector<WhatsAppChatRecord>& chatList;
  const std::vector<WhatsAppMemberRecord>& members;
  const std::vector<WhatsAppMediaRecord>& media;
  std::unordered_map<int32_t, size_t> chatOf = FirstByRowId(chatList, RowIdOf);
  std::unordered_map<int32_t, size_t> memberOf = FirstByRowId(members, RowIdOf);
  std::unordered_map<int32_t, size_t> mediaOf = FirstByRowId(media, RowIdOf);
};

void joinChat(WhatsAppMessageRecord& m, const WhatsAppJoins& joins) {
  const auto found = joins.chatOf.find(m.chatRowId);
  if (found == joins.chatOf.end()) return;
  const WhatsAppChatRecord* chat = &joins.chatList[found->second];
  m.senderPhone = chat->partnerPhone;
  m.senderName = chat->partnerName;
  m.partnerName = chat->partnerName;
  m.chatPhones = chat->memberPhones.empty() ? chat->partnerPhone : chat->memberPhones;
  m.chatTitle = chat->memberNames.empty() ? chat->partnerName : chat->memberNames;
  // Group chats keep every message's text: each row holds its own message.
  if (m.fromMe != 0) {
    m.senderName = "Me";
    m.senderPhone.clear();
  } else if (m.memberRowId >= 1) {  // Core Data keys start at 1
    if (const auto member = joins.memberOf.find(m.memberRowId); member != joins.memberOf.end()) {
      m.senderName = joins.members[member->second].name;
      m.senderPhone = joins.members[member->second].phone;
    }
  }
}

}  // namespace

int32_t readWhatsApp(const std::filesystem::path& chatDatabasePath, WhatsAppChatMap& chats) {
  // Every reading starts from the older layout; only this database's rows change it.
  int32_t columns = kDefaultWhatsAppMessageColumns;
  if (const int32_t probe = countMessageColumns(chatDatabasePath, columns); probe != kOk) return probe;

  SqliteFileReader reader;
  if (const int32_t open = reader.open(chatDatabasePath); open != kOk) return ReaderOpenResult(open);
  reader.setWhatsAppMessageColumnCount(columns);

  std::vector<WhatsAppMediaRecord> media;
  std::vector<WhatsAppChatRecord> chatList;
  std::vector<WhatsAppMemberRecord> members;
  std::vector<WhatsAppMessageRecord> messages;
  if (const int32_t r = DecodeWhatsAppMediaTable(reader, media); r != kOk) return r;
  if (const int32_t r = DecodeWhatsAppChatTable(reader, chatList); r != kOk) return r;
  if (const int32_t r = DecodeWhatsAppMemberTable(reader, members); r != kOk) return r;
  fillMemberLists(chatList, members);
  if (const int32_t r = DecodeWhatsAppMessageTable(reader, messages); r != kOk) return r;

  const WhatsAppJoins joins{chatList, members, media};
  for (WhatsAppMessageRecord& m : messages) {
    joinChat(m, joins);
    if (m.mediaRowId != 0 && m.text.empty()) {
      if (const auto item = joins.mediaOf.find(m.mediaRowId); item != joins.mediaOf.end()) {
        m.text = media[item->second].path;
      }
    }
  }
  // Messages left without text, even from a media item, are not listed.
  FileByDateText(
      messages, chats, [](const WhatsAppMessageRecord& m) { return m.chatRowId; },
      [](const WhatsAppMessageRecord& m) { return !m.text.empty(); });
  return kOk;
}

}  // namespace fq

#include "engine/categories/WhatsAppReader.h"

#include <sqlite3.h>

#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/ReadOnlyDatabase.h"
#include "engine/categories/DateOrder.h"
#include "engine/categories/OpenResult.h"
#include "engine/sqlite/TableDecoders.h"

namespace fq {
namespace {

// Asks the library for the message table's column count; an empty table
// leaves `columns` as it was. 0, the open error or 1006.
int32_t countMessageColumns(const std::filesystem::path& path, int32_t& columns) {
  ReadOnlyDatabase db(path);
  if (!db.ok()) return db.openResult() != SQLITE_OK ? db.openResult() : kInvalid;
  char* message = nullptr;
  const int rc = sqlite3_exec(
      db.handle(), "select * from ZWAMESSAGE;",
      [](void* count, int n, char**, char**) {
        *static_cast<int32_t*>(count) = n;
        return 0;
      },
      &columns, &message);
  const bool failed = rc != SQLITE_OK || message != nullptr;
  sqlite3_free(message);
  return failed ? kQueryFailed : kOk;
}

void fillMemberLists(std::vector<WhatsAppChatRecord>& chatList, const std::vector<WhatsAppMemberRecord>& members) {
  for (WhatsAppChatRecord& chat : chatList) {
    for (const WhatsAppMemberRecord& member : members) {
      if (chat.rowId == 0 || member.chatRowId != chat.rowId) continue;
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

void joinChat(WhatsAppMessageRecord& m, const std::vector<WhatsAppChatRecord>& chatList,
              const std::vector<WhatsAppMemberRecord>& members) {
  const WhatsAppChatRecord* chat = nullptr;
  // Carved chats, members and media items have lost their row id (0).
  for (const WhatsAppChatRecord& c : chatList) {
    if (c.rowId != 0 && c.rowId == m.chatRowId) {
      chat = &c;
      break;
    }
  }
  if (chat == nullptr) return;
  m.senderPhone = chat->partnerPhone;
  m.senderName = chat->partnerName;
  m.partnerName = chat->partnerName;
  m.chatPhones = chat->memberPhones.empty() ? chat->partnerPhone : chat->memberPhones;
  m.chatTitle = chat->memberNames.empty() ? chat->partnerName : chat->memberNames;
  // Group chats keep every message's text: each row holds its own message.
  if (m.fromMe != 0) {
    m.senderName = "Me";
    m.senderPhone.clear();
  } else if (m.memberRowId > 1) {
    for (const WhatsAppMemberRecord& member : members) {
      if (member.rowId != 0 && member.rowId == m.memberRowId) {
        m.senderName = member.name;
        m.senderPhone = member.phone;
        break;
      }
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

  std::vector<WhatsAppMessageRecord> kept;
  for (WhatsAppMessageRecord& m : messages) {
    joinChat(m, chatList, members);
    if (m.mediaRowId != 0 && m.text.empty()) {
      for (const WhatsAppMediaRecord& item : media) {
        if (item.rowId == m.mediaRowId) {
          m.text = item.path;
          break;
        }
      }
    }
    if (!m.text.empty()) kept.push_back(std::move(m));
  }
  SortByDateText(kept);
  for (WhatsAppMessageRecord& m : kept) chats[m.chatRowId].push_back(std::move(m));
  return kOk;
}

}  // namespace fq

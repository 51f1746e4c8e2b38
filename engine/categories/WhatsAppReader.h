#pragma once
// The chats of the WhatsApp chat database: every message, live or deleted,
// with its chat, its sender and, in group chats, the member lists.
#include <cstdint>
#include <filesystem>

#include "engine/records/WhatsAppRecords.h"

namespace fq {

// Message column count assumed when the message table has no row to count:
// the older table layout.
inline constexpr int32_t kDefaultWhatsAppMessageColumns = 23;

// Adds the messages of `chatDatabasePath` to `chats`. Returns 0, the SQLite
// library's open error, 1006 when the message table cannot be queried, the
// page reader's open error, or the first error of a table decoder (nothing is
// added then).
int32_t readWhatsApp(const std::filesystem::path& chatDatabasePath, WhatsAppChatMap& chats);

}  // namespace fq

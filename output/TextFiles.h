#pragma once
// The plain-text and CSV files of a recovery: a text file per conversation and
// per WhatsApp chat, a CSV file per chat. All are UTF-8 text files: a byte-order
// mark first, every line feed (in the layout and inside record texts) as CR LF.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/MessageRecords.h"
#include "engine/records/WhatsAppRecords.h"

namespace fq {

// Byte-order mark, then `text` with every "\n" written as "\r\n".
std::string Utf8TextFileBytes(std::string_view text);

// A CSV value as RFC 4180 quotes it: in double quotes, inner quotes doubled,
// when it holds a comma, a quote or a line break; else as it is.
std::string CsvField(std::string_view value);

// Blocks of "%10s: %s" lines ("To"/"From", "Data", "Content") and an empty line
// per message, before the text-file translation.
std::string ConversationText(const std::vector<MessageRecord>& messages);
std::string ChatText(const std::vector<WhatsAppMessageRecord>& messages);
// "Chats,Name/Phone,Date,Type,Content", then one quoted line per message.
std::string ChatCsv(const std::vector<WhatsAppMessageRecord>& messages);

// The files themselves; a null list (a missing conversation or chat) gives a
// file with the byte-order mark only. 0, or the errno of the failure.
int32_t WriteConversationText(const std::filesystem::path& path, const std::vector<MessageRecord>* messages);
int32_t WriteChatText(const std::filesystem::path& path, const std::vector<WhatsAppMessageRecord>* messages);
int32_t WriteChatCsv(const std::filesystem::path& path, const std::vector<WhatsAppMessageRecord>* messages);

}  // namespace fq

#include "output/TextFiles.h"

#include "engine/platform/File.h"
#include "engine/platform/Folders.h"
#include "output/RecordTexts.h"

namespace fq {
namespace {

void AppendLine(std::string& out, std::string_view label, std::string_view value) {
  // "%10s: %s\n": the label right-aligned in ten characters.
  if (label.size() < 10) out.append(10 - label.size(), ' ');
  out += label;
  out += ": ";
  out += value;
  out += '\n';
}

void AppendBlock(std::string& out, bool fromMe, std::string_view person, std::string_view date,
                 std::string_view text) {
  AppendLine(out, fromMe ? "To" : "From", person);
  AppendLine(out, "Data", date);
  AppendLine(out, "Content", text);
  out += '\n';
}

int32_t WriteTextFile(const std::filesystem::path& path, std::string_view text) {
  if (const int32_t rc = CreateFolders(path.parent_path())) return rc;
  return WriteWholeFile(path, Utf8TextFileBytes(text));
}

}  // namespace

std::string Utf8TextFileBytes(std::string_view text) {
  std::string bytes = "\xEF\xBB\xBF";
  bytes.reserve(text.size() + text.size() / 16 + 3);
  for (char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return bytes;
}

std::string CsvField(std::string_view value) {
  if (value.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(value);
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string ConversationText(const std::vector<MessageRecord>& messages) {
  std::string out;
  for (const auto& m : messages) AppendBlock(out, m.fromMe != 0, MessagePerson(m), m.date, m.text);
  return out;
}

std::string ChatText(const std::vector<WhatsAppMessageRecord>& messages) {
  std::string out;
  for (const auto& m : messages) AppendBlock(out, m.fromMe != 0, ChatPerson(m), m.date, m.text);
  return out;
}

std::string ChatCsv(const std::vector<WhatsAppMessageRecord>& messages) {
  std::string out = "Chats,Name/Phone,Date,Type,Content\n";
  for (const auto& m : messages) {
    out += CsvField(m.senderName) + "," + CsvField(m.senderPhone) + "," + CsvField(m.date) + "," +
           (m.fromMe ? "Send" : "Received") + "," + CsvField(m.text) + "\n";
  }
  return out;
}

int32_t WriteConversationText(const std::filesystem::path& path, const std::vector<MessageRecord>* messages) {
  return WriteTextFile(path, messages ? ConversationText(*messages) : std::string());
}

int32_t WriteChatText(const std::filesystem::path& path, const std::vector<WhatsAppMessageRecord>* messages) {
  return WriteTextFile(path, messages ? ChatText(*messages) : std::string());
}

int32_t WriteChatCsv(const std::filesystem::path& path, const std::vector<WhatsAppMessageRecord>* messages) {
  return WriteTextFile(path, ChatCsv(messages ? *messages : std::vector<WhatsAppMessageRecord>{}));
}

}  // namespace fq

#include "cli/ScanJson.h"

#include "cli/JsonText.h"
#include "engine/session/AppFileSplit.h"
#include "engine/session/ScanCategory.h"

namespace fq::cli {
namespace {

// Collects the text of one category list and hands it to the stream in large
// pieces, one record a line.
class JsonListWriter {
 public:
  JsonListWriter(std::ostream& out, std::string_view name, bool last) : m_out(out), m_last(last) {
    m_buffer = "    ";
    AppendJsonString(m_buffer, name);
    m_buffer += ": [";
  }
  ~JsonListWriter() {
    m_buffer += m_empty ? "]" : "\n    ]";
    m_buffer += m_last ? "\n" : ",\n";
    m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
  }
  JsonListWriter(const JsonListWriter&) = delete;
  JsonListWriter& operator=(const JsonListWriter&) = delete;

  // The buffer to append the next record to.
  std::string& next() {
    if (m_buffer.size() >= kFlushSize) {
      m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
      m_buffer.clear();
    }
    m_buffer += m_empty ? "\n      " : ",\n      ";
    m_empty = false;
    return m_buffer;
  }

 private:
  static constexpr size_t kFlushSize = 1 << 16;
  std::ostream& m_out;
  bool m_last;
  bool m_empty = true;
  std::string m_buffer;
};

// Media files and message attachments: both listed by name, size and path.
template <typename FileRecord>
void WriteStoredFiles(JsonListWriter& list, const std::vector<FileRecord>& files) {
  for (const auto& f : files) {
    JsonRecord(list.next()).field("name", f.name).field("size", f.size).field("path", f.path.native());
  }
}

void WriteAppFiles(JsonListWriter& list, const std::map<std::string, std::vector<AppFileRecord>>& byApp) {
  for (const auto& [app, files] : byApp) {
    for (const auto& f : files) {
      JsonRecord(list.next())
          .field("app", f.appName)
          .field("name", f.name)
          .field("size", f.size)
          .field("path", f.path.native());
    }
  }
}

void WriteMessages(JsonListWriter& list, const ConversationMap& conversations) {
  for (const auto& [handle, messages] : conversations) {
    for (const auto& m : messages) {
      JsonRecord(list.next())
          .field("deleted", m.deleted)
          .field("from_me", m.fromMe)
          .field("row_id", m.rowId)
          .field("handle_row_id", m.handleRowId)
          .field("date", m.date)
          .field("address", m.address)
          .field("contact_name", m.contactName)
          .field("text", m.text)
          .field("attachment", m.attachment);
    }
  }
}

void WriteContacts(JsonListWriter& list, const std::vector<ContactRecord>& contacts) {
  for (const auto& c : contacts) {
    JsonRecord(list.next())
        .field("deleted", c.deleted)
        .field("name", c.name)
        .field("phone", c.phone)
        .field("email", c.email)
        .field("address", c.address)
        .field("social", c.social)
        .field("url", c.url)
        .field("company", c.company);
  }
}

void WriteCalls(JsonListWriter& list, const std::vector<CallRecord>& calls) {
  for (const auto& c : calls) {
    JsonRecord(list.next())
        .field("deleted", c.deleted)
        .field("incoming", c.incoming)
        .field("duration", c.duration)
        .field("date", c.date)
        .field("number", c.number)
        .field("name", c.name);
  }
}

void WriteNotes(JsonListWriter& list, const std::vector<NoteRecord>& notes) {
  for (const auto& n : notes) {
    JsonRecord(list.next())
        .field("deleted", n.deleted)
        .field("key", n.key)
        .field("date", n.date)
        .field("title", n.title)
        .field("body", n.body);
  }
}

void WriteWhatsApp(JsonListWriter& list, const WhatsAppChatMap& chats) {
  for (const auto& [chat, messages] : chats) {
    for (const auto& m : messages) {
      JsonRecord(list.next())
          .field("deleted", m.deleted)
          .field("from_me", m.fromMe)
          .field("row_id", m.rowId)
          .field("chat_row_id", m.chatRowId)
          .field("member_row_id", m.memberRowId)
          .field("media_row_id", m.mediaRowId)
          .field("date", m.date)
          .field("sender_name", m.senderName)
          .field("text", m.text)
          .field("sender_phone", m.senderPhone)
          .field("chat_title", m.chatTitle)
          .field("chat_phones", m.chatPhones)
          .field("partner_name", m.partnerName);
    }
  }
}

void WriteCategory(JsonListWriter& list, ScanCategory category, const ScanResults& results,
                   const AppFileSplit& apps) {
  switch (category) {
    case ScanCategory::CameraRoll:
      WriteStoredFiles(list, results.cameraRoll);
      break;
    case ScanCategory::PhotoStream:
      WriteStoredFiles(list, results.photoStream);
      break;
    case ScanCategory::Messages:
      WriteMessages(list, results.conversations);
      break;
    case ScanCategory::MessagesAttachments:
      WriteStoredFiles(list, results.messageAttachments);
      break;
    case ScanCategory::Contacts:
      WriteContacts(list, results.contacts);
      break;
    case ScanCategory::CallHistory:
      WriteCalls(list, results.calls);
      break;
    case ScanCategory::Notes:
      WriteNotes(list, results.notes);
      break;
    case ScanCategory::AppPhotos:
      WriteAppFiles(list, apps.photos);
      break;
    case ScanCategory::AppVideos:
      WriteAppFiles(list, apps.videos);
      break;
    case ScanCategory::WhatsApp:
      WriteWhatsApp(list, results.whatsAppChats);
      break;
    case ScanCategory::WhatsAppAttachments:
      WriteStoredFiles(list, results.whatsAppAttachments);
      break;
  }
}

}  // namespace

void WriteScanJson(std::ostream& out, const std::string& source, int32_t result,
                   const std::vector<EventRecorder::Event>& events, const ScanOutcome& outcome,
                   const ScanResults& results) {
  std::string head = "{\n  \"source\": ";
  AppendJsonString(head, source);
  head += ",\n  \"result\": " + std::to_string(result) + ",\n  \"events\": [";
  for (size_t i = 0; i < events.size(); ++i) {
    head += (i == 0 ? "[" : ", [") + std::to_string(events[i].first) + ", " +
            std::to_string(events[i].second) + "]";
  }
  head += "],\n  \"outcome\": {\"kind\": ";
  AppendJsonString(head, ScanOutcomeKindName(outcome.kind));
  head += ", \"code\": " + std::to_string(outcome.code) + ", \"reason\": ";
  AppendJsonString(head, outcome.reason);
  head += "},\n  \"status\": {";
  // Every category, so that a reader never takes a missing entry for "read".
  for (size_t i = 0; i < kScanCategories.size(); ++i) {
    const ScanCategory category = kScanCategories[i];
    const auto found = results.status.find(category);
    const CategoryStatus status = found == results.status.end() ? CategoryStatus{} : found->second;
    head += i == 0 ? "\n    " : ",\n    ";
    AppendJsonString(head, CategoryName(category));
    head += ": {\"state\": ";
    AppendJsonString(head, CategoryStateName(status.state));
    head += ", \"reason\": ";
    AppendJsonString(head, status.reason);
    head += "}";
  }
  // The stored files a category left out, with why: they explain a count lower than expected.
  head += "\n  },\n  \"skipped\": {";
  bool firstSkipped = true;
  for (const auto& [category, files] : results.skipped) {
    head += firstSkipped ? "\n    " : ",\n    ";
    firstSkipped = false;
    AppendJsonString(head, CategoryName(category));
    head += ": [";
    for (size_t i = 0; i < files.size(); ++i) {
      head += i == 0 ? "{\"key\": " : ", {\"key\": ";
      AppendJsonString(head, files[i].key);
      head += ", \"reason\": ";
      AppendJsonString(head, SkipReasonText(files[i].reason));
      head += "}";
    }
    head += "]";
  }
  head += firstSkipped ? "},\n  \"categories\": {\n" : "\n  },\n  \"categories\": {\n";
  out.write(head.data(), static_cast<std::streamsize>(head.size()));

  const auto apps = SplitAppFiles(results.appFiles);
  for (size_t i = 0; i < kScanCategories.size(); ++i) {
    const ScanCategory category = kScanCategories[i];
    JsonListWriter list(out, CategoryName(category), i + 1 == kScanCategories.size());
    WriteCategory(list, category, results, apps);
  }
  out << "  }\n}\n";
}

}  // namespace fq::cli

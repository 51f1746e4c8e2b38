#include "cli/ScanJson.h"

#include "engine/session/AppFileSplit.h"
#include "engine/session/ScanCategory.h"

namespace fq::cli {
namespace {

using Json = nlohmann::ordered_json;

Json MediaFilesJson(const std::vector<MediaFileRecord>& files) {
  Json list = Json::array();
  for (const auto& f : files) list.push_back({{"name", f.name}, {"size", f.size}, {"path", f.path.string()}});
  return list;
}

Json AttachmentFilesJson(const std::vector<AttachmentFileRecord>& files) {
  Json list = Json::array();
  for (const auto& f : files) list.push_back({{"name", f.name}, {"size", f.size}, {"path", f.path.string()}});
  return list;
}

Json AppFilesJson(const std::map<std::string, std::vector<AppFileRecord>>& byApp) {
  Json list = Json::array();
  for (const auto& [app, files] : byApp) {
    for (const auto& f : files) {
      list.push_back({{"app", f.appName}, {"name", f.name}, {"size", f.size}, {"path", f.path.string()}});
    }
  }
  return list;
}

Json MessagesJson(const ConversationMap& conversations) {
  Json list = Json::array();
  for (const auto& [handle, messages] : conversations) {
    for (const auto& m : messages) {
      list.push_back({{"deleted", m.deleted},
                      {"from_me", m.fromMe},
                      {"row_id", m.rowId},
                      {"handle_row_id", m.handleRowId},
                      {"date", m.date},
                      {"address", m.address},
                      {"contact_name", m.contactName},
                      {"text", m.text},
                      {"attachment", m.attachment}});
    }
  }
  return list;
}

Json ContactsJson(const std::vector<ContactRecord>& contacts) {
  Json list = Json::array();
  for (const auto& c : contacts) {
    list.push_back({{"deleted", c.deleted},
                    {"name", c.name},
                    {"phone", c.phone},
                    {"email", c.email},
                    {"address", c.address},
                    {"social", c.social},
                    {"url", c.url},
                    {"company", c.company}});
  }
  return list;
}

Json CallsJson(const std::vector<CallRecord>& calls) {
  Json list = Json::array();
  for (const auto& c : calls) {
    list.push_back({{"deleted", c.deleted},
                    {"incoming", c.incoming},
                    {"duration", c.duration},
                    {"date", c.date},
                    {"number", c.number},
                    {"name", c.name}});
  }
  return list;
}

Json NotesJson(const std::vector<NoteRecord>& notes) {
  Json list = Json::array();
  for (const auto& n : notes) {
    list.push_back(
        {{"deleted", n.deleted}, {"key", n.key}, {"date", n.date}, {"title", n.title}, {"body", n.body}});
  }
  return list;
}

Json WhatsAppJson(const WhatsAppChatMap& chats) {
  Json list = Json::array();
  for (const auto& [chat, messages] : chats) {
    for (const auto& m : messages) {
      list.push_back({{"deleted", m.deleted},
                      {"from_me", m.fromMe},
                      {"row_id", m.rowId},
                      {"chat_row_id", m.chatRowId},
                      {"member_row_id", m.memberRowId},
                      {"media_row_id", m.mediaRowId},
                      {"date", m.date},
                      {"sender_name", m.senderName},
                      {"text", m.text},
                      {"sender_phone", m.senderPhone},
                      {"chat_title", m.chatTitle},
                      {"chat_phones", m.chatPhones},
                      {"partner_name", m.partnerName}});
    }
  }
  return list;
}

}  // namespace

Json CategoriesJson(const ScanResults& results) {
  const auto apps = SplitAppFiles(results.appFiles);
  Json categories = Json::object();
  for (const auto category : kScanCategories) {
    const std::string name(CategoryName(category));
    switch (category) {
      case ScanCategory::CameraRoll: categories[name] = MediaFilesJson(results.cameraRoll); break;
      case ScanCategory::PhotoStream: categories[name] = MediaFilesJson(results.photoStream); break;
      case ScanCategory::Messages: categories[name] = MessagesJson(results.conversations); break;
      case ScanCategory::MessagesAttachments:
        categories[name] = AttachmentFilesJson(results.messageAttachments);
        break;
      case ScanCategory::Contacts: categories[name] = ContactsJson(results.contacts); break;
      case ScanCategory::CallHistory: categories[name] = CallsJson(results.calls); break;
      case ScanCategory::Notes: categories[name] = NotesJson(results.notes); break;
      case ScanCategory::AppPhotos: categories[name] = AppFilesJson(apps.photos); break;
      case ScanCategory::AppVideos: categories[name] = AppFilesJson(apps.videos); break;
      case ScanCategory::WhatsApp: categories[name] = WhatsAppJson(results.whatsAppChats); break;
      case ScanCategory::WhatsAppAttachments: categories[name] = MediaFilesJson(results.whatsAppAttachments); break;
    }
  }
  return categories;
}

Json ScanJson(const std::string& source, int32_t result, const std::vector<EventRecorder::Event>& events,
              const ScanResults& results) {
  Json eventList = Json::array();
  for (const auto& [message, wParam] : events) eventList.push_back(Json::array({message, wParam}));
  Json report = Json::object();
  report["source"] = source;
  report["result"] = result;
  report["events"] = std::move(eventList);
  report["categories"] = CategoriesJson(results);
  return report;
}

}  // namespace fq::cli

#include "output/PrintPage.h"

#include "engine/ResultCodes.h"
#include "engine/platform/File.h"
#include "engine/platform/Folders.h"
#include "output/HtmlEscape.h"
#include "output/RecordTexts.h"

namespace fq {
namespace {

void AppendLine(std::string& out, std::string_view label, std::string_view value) {
  out += "<p><span>";
  out += label;
  out += "</span>";
  out += HtmlEscape(value);
  out += "</p>\r\n";
}

// The statistics' deleted flag decides: a conversation or chat counts as
// deleted when any of its messages is, not by its first one alone.
bool IsPrinted(const CStatisticsObj& statistics, const void* record, bool deletedOnly) {
  const StatisticsEntry* entry = statistics.Find(record);
  return entry && entry->selected && (!deletedOnly || entry->deleted);
}

void AppendContact(std::string& out, const ContactRecord& c) {
  out += "<div>\r\n";
  AppendLine(out, "Name:", c.name);
  AppendLine(out, "Phone Number:", c.phone);
  AppendLine(out, "Company:", c.company);
  AppendLine(out, "Email:", c.email);
  AppendLine(out, "URL:", c.url);
  out += "</div>\r\n";
}

void AppendCall(std::string& out, const CallRecord& call) {
  out += "<div>\r\n";
  AppendLine(out, "Name:", call.name);
  AppendLine(out, "Phone Number:", call.number);
  AppendLine(out, "Date:", call.date);
  AppendLine(out, "Type:", CallDirectionText(call));
  // The same duration text as the report: a negative count stays negative.
  AppendLine(out, "Duration:", CallDurationText(call));
  out += "</div>\r\n";
}

void AppendNote(std::string& out, const NoteRecord& note) {
  out += "<div>\r\n";
  AppendLine(out, "Title:", note.title);
  AppendLine(out, "Date:", note.date);
  AppendLine(out, "Notes:", note.body);
  out += "</div>\r\n";
}

void AppendMessage(std::string& out, const MessageRecord& m) {
  out += "<div>\r\n";
  AppendLine(out, m.fromMe ? "To:" : "From:", MessagePerson(m));
  AppendLine(out, "Date:", m.date);
  AppendLine(out, "Content:", m.text);
  out += "</div>\r\n";
}

template <typename Record>
int32_t BuildList(const std::vector<Record>& records, bool deletedOnly, const CStatisticsObj& statistics,
                  const std::function<bool()>& cancelled, std::string& content,
                  void (*append)(std::string&, const Record&)) {
  for (const auto& r : records) {
    if (cancelled && cancelled()) return kCancelled;
    if (IsPrinted(statistics, &r, deletedOnly)) append(content, r);
  }
  return kOk;
}

int32_t BuildMessages(const ConversationMap& conversations, bool deletedOnly,
                      const CStatisticsObj& statistics, const std::function<bool()>& cancelled,
                      std::string& content) {
  for (const auto& [handle, messages] : conversations) {
    if (cancelled && cancelled()) return kCancelled;
    if (messages.empty() || !IsPrinted(statistics, &messages.front(), deletedOnly)) continue;
    for (const auto& m : messages) {
      if (cancelled && cancelled()) return kCancelled;
      // With the filter on, as the recovery writes it: the deleted messages only.
      if (deletedOnly && !m.deleted) continue;
      AppendMessage(content, m);
    }
  }
  return kOk;
}

int32_t BuildChats(const WhatsAppChatMap& chats, bool deletedOnly, const CStatisticsObj& statistics,
                   const std::function<bool()>& cancelled, std::string& content) {
  for (const auto& [chat, messages] : chats) {
    if (cancelled && cancelled()) return kCancelled;
    if (messages.empty()) continue;
    const auto& first = messages.front();
    if (!IsPrinted(statistics, &first, deletedOnly)) continue;
    content += "<div>\r\n";
    AppendLine(content, "Chats:", first.partnerName);
    AppendLine(content, "Name:", first.chatTitle.empty() ? first.senderName : first.chatTitle);
    AppendLine(content, "Phone Number:", first.chatPhones.empty() ? first.senderPhone : first.chatPhones);
    content += "<p><span>Content:</span></p>\r\n";
    for (const auto& m : messages) {
      if (cancelled && cancelled()) return kCancelled;
      if (deletedOnly && !m.deleted) continue;
      content += "<p>";
      content += m.fromMe ? std::string("Me") : HtmlEscape(m.senderName);
      content += " (";
      content += HtmlEscape(m.date);
      content += "): ";
      content += HtmlEscape(m.text);
      content += "</p>";
    }
    content += "</div>\r\n";
  }
  return kOk;
}

}  // namespace

ReportTemplate LoadPrintTemplate(const std::filesystem::path& templateFile) {
  std::string text;
  ReportTemplate page;
  if (ReadTemplateFile(templateFile, text) != 0) return page;
  const size_t split = text.find(kContentPlaceholder);
  if (split == std::string::npos) return page;
  page.head = text.substr(0, split);
  page.tail = text.substr(split + kContentPlaceholder.size());
  return page;
}

bool CanPrint(ItemKind category) { return IsRecordCategory(category); }

int32_t BuildPrintContent(ItemKind category, bool deletedOnly, const ScanResults& results,
                          const CStatisticsObj& statistics, const std::function<bool()>& cancelled,
                          std::string& content) {
  // A category is gathered whole before it joins the page, so a cancel leaves nothing.
  std::string gathered;
  int32_t rc = kInvalid;
  switch (category) {
    case ItemKind::Contacts:
      rc = BuildList<ContactRecord>(results.contacts, deletedOnly, statistics, cancelled, gathered,
                                    AppendContact);
      break;
    case ItemKind::CallHistory:
      rc = BuildList<CallRecord>(results.calls, deletedOnly, statistics, cancelled, gathered, AppendCall);
      break;
    case ItemKind::Notes:
      rc = BuildList<NoteRecord>(results.notes, deletedOnly, statistics, cancelled, gathered, AppendNote);
      break;
    case ItemKind::Messages:
      rc = BuildMessages(results.conversations, deletedOnly, statistics, cancelled, gathered);
      break;
    case ItemKind::WhatsApp:
      rc = BuildChats(results.whatsAppChats, deletedOnly, statistics, cancelled, gathered);
      break;
    default:
      break;
  }
  if (rc == kOk) content += gathered;
  return rc;
}

int32_t WritePrintPage(const std::filesystem::path& path, const ReportTemplate& page,
                       const std::string& content) {
  if (const int32_t rc = CreateFolders(path.parent_path())) return rc;
  File file = File::CreateOutput(path);
  if (!file.ok()) return file.error();
  file.write(page.head);
  file.write(content);
  file.write(page.tail);
  return file.close();
}

}  // namespace fq

#include "output/HtmlReports.h"

#include "engine/platform/File.h"
#include "engine/platform/Folders.h"
#include "output/HtmlEscape.h"
#include "output/RecordTexts.h"

namespace fq {
namespace {

std::string Row(int32_t deleted, std::initializer_list<std::string_view> escapedCells) {
  std::string row = deleted ? "\t<tr class=\"del_row\">" : "\t<tr>";
  for (std::string_view cell : escapedCells) {
    row += "<td>";
    row += cell;
    row += "</td>";
  }
  row += "</tr>\r\n";
  return row;
}

// The attachment inside a bubble: a picture as a thumbnail that opens the
// file, another file as a link, a file that was not recovered by its name.
std::string AttachmentHtml(const PageAttachment& attachment) {
  const std::string name = HtmlEscape(attachment.name);
  if (attachment.href.empty())
    return "<span class=\"attachment\">Attachment not recovered: " + name + "</span>";
  const std::string href = HtmlEscape(attachment.href);
  std::string html = "<a class=\"attachment\" href=\"" + href + "\">";
  if (attachment.picture) {
    html += "<img src=\"" + href + "\" alt=\"" + name +
            "\" style=\"max-width:240px;max-height:240px;width:auto;height:auto;display:block\" />";
  } else {
    html += name;
  }
  html += "</a>";
  return html;
}

std::string Block(bool fromMe, bool deleted, std::string_view date, std::string_view sender,
                  std::string_view text, const PageAttachment* attachment, bool attachmentIsText) {
  std::string block = "<div class=\"date\">Date: ";
  block += HtmlEscape(date);
  if (fromMe) {
    block += " Me";
  } else {
    block += ' ';
    block += HtmlEscape(sender);
  }
  block += ":</div>\r\n";
  if (fromMe) {
    block += deleted ? "<div class=\"del_send_msg\">" : "<div class=\"send_msg\">";
  } else {
    block += deleted ? "<div class=\"del_recv_msg\">" : "<div class=\"recv_msg\">";
  }
  if (attachment && attachmentIsText) {
    block += AttachmentHtml(*attachment);
  } else {
    block += HtmlEscape(text);
    if (attachment) block += "<br />" + AttachmentHtml(*attachment);
  }
  block += "</div>\r\n";
  return block;
}

template <typename Record, typename BlockOf>
int32_t WritePage(const std::filesystem::path& path, std::string_view head, std::string_view tail,
                  const std::vector<Record>* messages, const CopyProgressCallback& progress,
                  std::span<const PageAttachment> attachments, BlockOf blockOf) {
  const auto report = [&](int32_t percent, int32_t code) {
    return progress ? progress(percent, code, path) : 0;
  };
  File file;
  int32_t rc = CreateFolders(path.parent_path());
  if (rc == 0) {
    file = File::CreateOutput(path);
    rc = file.error();
  }
  if (rc != 0) {
    report(100, rc);
    return rc;
  }
  // The blocks go out while they are made: a page of any length holds no
  // more than this much of itself in memory.
  constexpr size_t kFlushBytes = 64 * 1024;
  file.write(head);
  std::string blocks;
  int32_t answer = 0;
  bool reportLast = false;
  if (messages) {
    const size_t count = messages->size();
    for (size_t i = 0; i < count; ++i) {
      const bool attached = i < attachments.size() && !attachments[i].name.empty();
      blocks += blockOf((*messages)[i], attached ? &attachments[i] : nullptr);
      if (blocks.size() >= kFlushBytes) {
        file.write(blocks);  // a failed write sticks and comes back from close()
        blocks.clear();
      }
      const auto percent = static_cast<int32_t>((i + 1) * 100 / count);
      if (i + 1 == count) {
        reportLast = true;
        break;
      }
      if ((answer = report(percent, 0)) != 0) break;
    }
  }
  file.write(blocks);
  file.write(tail);
  rc = file.close();
  if (reportLast) answer = report(100, rc);
  if (rc != 0) return rc;
  return answer;
}

}  // namespace

std::string ContactRow(const ContactRecord& c) {
  const std::string phone = ReplaceAll(HtmlEscape(c.phone), "\n", "<br />");
  return Row(c.deleted, {HtmlEscape(c.name), phone, HtmlEscape(c.email), HtmlEscape(c.address),
                         HtmlEscape(c.url), HtmlEscape(c.social), HtmlEscape(c.company)});
}

std::string CallRow(const CallRecord& call) {
  return Row(call.deleted, {HtmlEscape(call.name), HtmlEscape(call.number), HtmlEscape(call.date),
                            CallDirectionText(call), CallDurationText(call)});
}

std::string NoteRow(const NoteRecord& note) {
  return Row(note.deleted, {HtmlEscape(note.title), HtmlEscape(note.date), HtmlEscape(note.body)});
}

std::string MessageBlock(const MessageRecord& m, const PageAttachment* attachment) {
  return Block(m.fromMe != 0, m.deleted != 0, m.date, MessageSender(m), m.text, attachment, false);
}

std::string ChatBlock(const WhatsAppMessageRecord& m, const PageAttachment* attachment) {
  return Block(m.fromMe != 0, m.deleted != 0, m.date, ChatSender(m), m.text, attachment, true);
}

int32_t WriteConversationReport(const std::filesystem::path& path, std::string_view head,
                                std::string_view tail, const std::vector<MessageRecord>* messages,
                                const CopyProgressCallback& progress,
                                std::span<const PageAttachment> attachments) {
  return WritePage(path, head, tail, messages, progress, attachments,
                   [](const MessageRecord& m, const PageAttachment* a) { return MessageBlock(m, a); });
}

int32_t WriteChatReport(const std::filesystem::path& path, std::string_view head, std::string_view tail,
                        const std::vector<WhatsAppMessageRecord>* messages,
                        const CopyProgressCallback& progress, std::span<const PageAttachment> attachments) {
  return WritePage(path, head, tail, messages, progress, attachments,
                   [](const WhatsAppMessageRecord& m, const PageAttachment* a) { return ChatBlock(m, a); });
}

}  // namespace fq

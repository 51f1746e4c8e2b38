#pragma once
// The HTML fragments written for each record and the pages that hold them:
// one page per conversation and per WhatsApp chat, and the contacts, call
// history and notes reports. Every inserted record text is escaped.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ProgressCallback.h"
#include "engine/records/CallRecord.h"
#include "engine/records/ContactRecord.h"
#include "engine/records/MessageRecords.h"
#include "engine/records/NoteRecord.h"
#include "engine/records/WhatsAppRecords.h"
#include "output/ReportTemplates.h"

namespace fq {

// One table row: a tab, "<tr>", one "<td>" cell per field, "</tr>", CR LF. A
// deleted record's row carries class "del_row" so the report marks it.
std::string ContactRow(const ContactRecord& contact);  // name, phone (lines joined by <br />), email,
                                                       // address, url, social, company
std::string CallRow(const CallRecord& call);           // name, number, date, direction, duration
std::string NoteRow(const NoteRecord& note);           // title, date, body

// The file a message's page shows with it. `href` is relative to the page and
// percent-encoded; empty when the file was not recovered (the page then names it).
struct PageAttachment {
  std::string name;
  std::string href;
  bool picture = false;  // shown as a thumbnail linking to the file
};

// A date line and a bubble ("send_msg", "recv_msg", or their "del_" forms).
// A message's attachment follows its text; a chat's media item takes the
// place of its text, which is only the item's path on the phone.
std::string MessageBlock(const MessageRecord& message, const PageAttachment* attachment = nullptr);
std::string ChatBlock(const WhatsAppMessageRecord& message, const PageAttachment* attachment = nullptr);

// One conversation or chat page: head (person line filled in), one block per
// message, tail. `messages` may be null (the conversation is missing: head and
// tail only, no report). Progress is reported after each block as
// blocks * 100 / count; a non-zero answer stops adding blocks. The 100 of the
// last block is reported once the page is on disk, with the errno of a failed
// write, so a page that could not be written never counts as a success. A page
// that cannot be created reports 100 with its errno. Returns 0, errno or the
// callback's answer. `attachments[i]`, when there and named, is shown with
// message i.
int32_t WriteConversationReport(const std::filesystem::path& path, std::string_view head,
                                std::string_view tail, const std::vector<MessageRecord>* messages,
                                const CopyProgressCallback& progress,
                                std::span<const PageAttachment> attachments = {});
int32_t WriteChatReport(const std::filesystem::path& path, std::string_view head, std::string_view tail,
                        const std::vector<WhatsAppMessageRecord>* messages,
                        const CopyProgressCallback& progress,
                        std::span<const PageAttachment> attachments = {});

}  // namespace fq

#pragma once
// One decoder per known table of the phone's databases. Each reads the table
// with the shared table-reading sequence (live rows, carved rows, attributed
// free pages) and appends a record for every row it accepts, live rows with
// deleted flag 0 and everything found in free space with 1. Returns 0, or the
// page-read error that ended the free-page step (records so far are kept).
#include <cstdint>
#include <vector>

#include "engine/records/CallRecord.h"
#include "engine/records/ContactRecord.h"
#include "engine/records/MessageRecords.h"
#include "engine/records/NoteRecord.h"
#include "engine/records/WhatsAppRecords.h"
#include "engine/sqlite/SqliteFileReader.h"

namespace fq {

int32_t DecodeMessageTable(SqliteFileReader& reader, std::vector<MessageRecord>& out);
int32_t DecodeHandleTable(SqliteFileReader& reader, std::vector<HandleRecord>& out);
int32_t DecodeAttachmentTable(SqliteFileReader& reader, std::vector<AttachmentRecord>& out);
int32_t DecodeAttachmentJoinTable(SqliteFileReader& reader, std::vector<AttachmentLink>& out);
// ABPersonFullTextSearch_content.
int32_t DecodeContactTable(SqliteFileReader& reader, std::vector<ContactRecord>& out);
// ZCALLRECORD (dates in seconds since 2001).
int32_t DecodeCallRecordTable(SqliteFileReader& reader, std::vector<CallRecord>& out);
// call (dates in seconds since 1970).
int32_t DecodeCallTable(SqliteFileReader& reader, std::vector<CallRecord>& out);
int32_t DecodeNoteBodyTable(SqliteFileReader& reader, std::vector<NoteRecord>& out);
int32_t DecodeNoteTable(SqliteFileReader& reader, std::vector<NoteRecord>& out);
// ZWAMESSAGE; the layout follows the reader's WhatsApp message column count.
int32_t DecodeWhatsAppMessageTable(SqliteFileReader& reader, std::vector<WhatsAppMessageRecord>& out);
int32_t DecodeWhatsAppChatTable(SqliteFileReader& reader, std::vector<WhatsAppChatRecord>& out);
int32_t DecodeWhatsAppMemberTable(SqliteFileReader& reader, std::vector<WhatsAppMemberRecord>& out);
int32_t DecodeWhatsAppMediaTable(SqliteFileReader& reader, std::vector<WhatsAppMediaRecord>& out);

}  // namespace fq

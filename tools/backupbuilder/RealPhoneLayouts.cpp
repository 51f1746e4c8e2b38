#include "tools/backupbuilder/RealPhoneLayouts.h"

#include <cstdio>
#include <initializer_list>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "tools/backupbuilder/SqlLiterals.h"

namespace fq::builder {
namespace {

// A column as "name" (INTEGER), "name:T" (TEXT), "name:B" (BLOB), "name:R"
// (TIMESTAMP, a double) or "name:K" (the row-id alias).
struct Column {
  std::string name;
  std::string declaration;
};

struct Table {
  std::string name;
  std::vector<Column> columns;
};

Table table(std::string name, std::initializer_list<std::string_view> specs) {
  Table t{std::move(name), {}};
  for (const std::string_view spec : specs) {
    const size_t colon = spec.find(':');
    const std::string columnName(spec.substr(0, colon));
    const char kind = colon == std::string_view::npos ? 'I' : spec[colon + 1];
    const char* type = kind == 'T'   ? " TEXT"
                       : kind == 'B' ? " BLOB"
                       : kind == 'R' ? " TIMESTAMP"
                       : kind == 'K' ? " INTEGER PRIMARY KEY"
                                     : " INTEGER";
    t.columns.push_back({columnName, columnName + type});
  }
  return t;
}

void append(Table& t, std::initializer_list<std::string_view> specs) {
  const Table more = table(t.name, specs);
  t.columns.insert(t.columns.end(), more.columns.begin(), more.columns.end());
}

std::string create(const Table& t) {
  std::string sql = "CREATE TABLE " + t.name + " (";
  for (size_t i = 0; i < t.columns.size(); ++i) sql += (i ? ", " : "") + t.columns[i].declaration;
  return sql + ")";
}

// An INSERT naming every column: the values given by name, NULL elsewhere. A
// name the table does not have is a mistake in the builder, not a layout.
std::string insert(const Table& t, std::initializer_list<std::pair<std::string_view, std::string>> values) {
  std::vector<std::string> literals(t.columns.size(), "NULL");
  for (const auto& [name, literal] : values) {
    size_t i = 0;
    while (i < t.columns.size() && t.columns[i].name != name) ++i;
    if (i == t.columns.size()) throw std::logic_error("no column " + std::string(name) + " in " + t.name);
    literals[i] = literal;
  }
  std::string sql = "INSERT INTO " + t.name + " VALUES (";
  for (size_t i = 0; i < literals.size(); ++i) sql += (i ? ", " : "") + literals[i];
  return sql + ")";
}

std::string flag(bool value) { return value ? "1" : "0"; }

// --- sms.db

Table messageTable(PhoneSystem system) {
  Table t = table("message", {"ROWID:K",
                              "guid:T",
                              "text:T",
                              "replace",
                              "service_center:T",
                              "handle_id",
                              "subject:T",
                              "country:T",
                              "attributedBody:B",
                              "version",
                              "type",
                              "service:T",
                              "account:T",
                              "account_guid:T",
                              "error",
                              "date",
                              "date_read",
                              "date_delivered",
                              "is_delivered",
                              "is_finished",
                              "is_emote",
                              "is_from_me",
                              "is_empty",
                              "is_delayed",
                              "is_auto_reply",
                              "is_prepared",
                              "is_read",
                              "is_system_message",
                              "is_sent",
                              "has_dd_results",
                              "is_service_message",
                              "is_forward",
                              "was_downgraded",
                              "is_archive",
                              "cache_has_attachments",
                              "cache_roomnames:T",
                              "was_data_detected",
                              "was_deduplicated"});
  if (system == PhoneSystem::Ios8) return t;
  append(t, {"is_audio_message",
             "is_played",
             "date_played",
             "item_type",
             "other_handle",
             "group_title:T",
             "group_action_type",
             "share_status",
             "share_direction",
             "is_expirable",
             "expire_state",
             "message_action_type",
             "message_source",
             "associated_message_guid:T",
             "associated_message_type",
             "balloon_bundle_id:T",
             "payload_data:B",
             "expressive_send_style_id:T",
             "associated_message_range_location",
             "associated_message_range_length",
             "time_expressive_send_played",
             "message_summary_info:B",
             "ck_sync_state",
             "ck_record_id:T",
             "ck_record_change_tag:T",
             "destination_caller_id:T",
             "sr_ck_sync_state",
             "sr_ck_record_id:T",
             "sr_ck_record_change_tag:T",
             "is_corrupt"});
  if (system == PhoneSystem::Ios13) return t;
  append(t, {"reply_to_guid:T", "sort_id", "is_spam", "has_unseen_mention", "thread_originator_guid:T",
             "thread_originator_part:T"});
  if (system == PhoneSystem::Ios14) return t;
  // Columns added by later systems, after those of iOS 14.
  append(t, {"syndication_ranges:T",
             "synced_syndication_ranges:T",
             "was_delivered_quietly",
             "did_notify_recipient",
             "date_retracted",
             "date_edited",
             "was_detonated",
             "part_count",
             "is_stewie",
             "is_kt_verified",
             "is_sos",
             "is_critical",
             "bia_reference_id:T",
             "fallback_hash:T",
             "associated_message_emoji:T",
             "is_pending_satellite_send",
             "needs_relay",
             "schedule_type",
             "schedule_state",
             "sent_or_received_off_grid"});
  return t;
}

Table handleTable(PhoneSystem system) {
  Table t = table("handle", {"ROWID:K", "id:T", "country:T", "service:T", "uncanonicalized_id:T"});
  if (system != PhoneSystem::Ios8) append(t, {"person_centric_id:T"});
  return t;
}

Table attachmentTable(PhoneSystem system) {
  Table t = table("attachment",
                  {"ROWID:K", "guid:T", "created_date", "start_date", "filename:T", "uti:T", "mime_type:T",
                   "transfer_state", "is_outgoing", "user_info:B", "transfer_name:T", "total_bytes"});
  if (system == PhoneSystem::Ios8) return t;
  append(t, {"is_sticker", "sticker_user_info:B", "attribution_info:B", "hide_attachment", "ck_sync_state",
             "ck_server_change_token_blob:B", "ck_record_id:T", "original_guid:T", "sr_ck_sync_state",
             "sr_ck_server_change_token_blob:B", "sr_ck_record_id:T"});
  return t;
}

Table attachmentJoinTable() { return table("message_attachment_join", {"message_id", "attachment_id"}); }

Table chatJoinTable(PhoneSystem system) {
  Table t = table("chat_message_join", {"chat_id", "message_id"});
  if (system != PhoneSystem::Ios8) append(t, {"message_date"});
  return t;
}

Table chatTable() {
  return table("chat",
               {"ROWID:K", "guid:T", "style", "state", "account_id:T", "properties:B", "chat_identifier:T",
                "service_name:T", "room_name:T", "account_login:T", "is_archived", "last_addressed_handle:T",
                "display_name:T", "group_id:T", "is_filtered", "successful_query"});
}

Table chatHandleJoinTable() { return table("chat_handle_join", {"chat_id", "handle_id"}); }

// --- AddressBook.sqlitedb

ContactLayout contactLayout(PhoneSystem system) {
  return system == PhoneSystem::Ios8 ? ContactLayout::Columns24 : ContactLayout::Columns26;
}

Table personTable() {
  return table("ABPerson", {"ROWID:K",
                            "First:T",
                            "Last:T",
                            "Middle:T",
                            "FirstPhonetic:T",
                            "MiddlePhonetic:T",
                            "LastPhonetic:T",
                            "Organization:T",
                            "Department:T",
                            "Note:T",
                            "Kind",
                            "Birthday:T",
                            "JobTitle:T",
                            "Nickname:T",
                            "Prefix:T",
                            "Suffix:T",
                            "FirstSort:T",
                            "LastSort:T",
                            "CreationDate",
                            "ModificationDate",
                            "CompositeNameFallback:T",
                            "ExternalIdentifier:T",
                            "ExternalModificationTag:T",
                            "ExternalUUID:T",
                            "StoreID",
                            "DisplayName:T",
                            "ExternalRepresentation:B",
                            "FirstSortSection:T",
                            "LastSortSection:T",
                            "FirstSortLanguageIndex",
                            "LastSortLanguageIndex",
                            "PersonLink",
                            "ImageURI:T",
                            "IsPreferredName",
                            "guid:T"});
}

Table multiValueTable() {
  return table("ABMultiValue",
               {"UID:K", "record_id", "property", "identifier", "label", "value:T", "guid:T"});
}

// --- call history

Table olderCallTable() {
  return table("call",
               {"ROWID:K", "address:T", "date", "duration", "flags", "id", "name:T", "country_code:T",
                "network_code:T", "read", "assisted", "face_time_data:B", "originalAddress:T", "answered"});
}

Table callRecordTable() {
  return table("ZCALLRECORD", {"Z_PK:K",
                               "Z_ENT",
                               "Z_OPT",
                               "ZANSWERED",
                               "ZCALLTYPE",
                               "ZDISCONNECTED_CAUSE",
                               "ZFACE_TIME_DATA",
                               "ZHANDLE_TYPE",
                               "ZNUMBER_AVAILABILITY",
                               "ZREAD",
                               "ZJUNKCONFIDENCE",
                               "ZVERIFICATIONSTATUS",
                               "ZORIGINATED",
                               "ZAUTOANSWEREDREASON",
                               "ZJUNKIDENTIFICATIONCATEGORY",
                               "ZDATE:R",
                               "ZDURATION:R",
                               "ZADDRESS:T",
                               "ZDEVICE_ID:T",
                               "ZISO_COUNTRY_CODE:T",
                               "ZLOCATION:T",
                               "ZNAME:T",
                               "ZSERVICE_PROVIDER:T",
                               "ZUNIQUE_ID:T",
                               "ZPARTICIPANT_GROUP_UUIDS:B",
                               "ZREMOTEPARTICIPANTHANDLES:B",
                               "ZLOCALPARTICIPANTUUID:B",
                               "ZCONVERSATIONID:B",
                               "ZFILTEREDOUTREASON",
                               "ZEMERGENCYMEDIAITEMS:B"});
}

// --- notes.sqlite

Table noteTable() {
  return table("ZNOTE", {"Z_PK:K",
                         "Z_ENT",
                         "Z_OPT",
                         "ZCONTAINSCJK",
                         "ZCONTENTTYPE",
                         "ZDELETEDFLAG",
                         "ZEXTERNALFLAGS",
                         "ZEXTERNALSEQUENCENUMBER",
                         "ZEXTERNALSERVERINTID",
                         "ZINTEGERID",
                         "ZISBOOKKEEPINGENTRY",
                         "ZBODY",
                         "ZSTORE",
                         "ZCREATIONDATE:R",
                         "ZMODIFICATIONDATE:R",
                         "ZAUTHOR:T",
                         "ZGUID:T",
                         "ZSERVERID:T",
                         "ZSUMMARY:T",
                         "ZTITLE:T"});
}

Table noteBodyTable() {
  return table("ZNOTEBODY", {"Z_PK:K", "Z_ENT", "Z_OPT", "ZOWNER", "ZCONTENT:T", "ZEXTERNALCONTENTREF:T",
                             "ZEXTERNALREPRESENTATION:B"});
}

// --- ChatStorage.sqlite

Table whatsAppMessageTable(PhoneSystem system) {
  if (system == PhoneSystem::Ios8) {
    // An older app: 28 columns, so every column after ZFLAGS sits elsewhere.
    return table("ZWAMESSAGE", {"Z_PK:K",
                                "Z_ENT",
                                "Z_OPT",
                                "ZCHILDMESSAGESDELIVEREDCOUNT",
                                "ZFLAGS",
                                "ZGROUPEVENTTYPE",
                                "ZISFROMME",
                                "ZMESSAGEERRORSTATUS",
                                "ZMESSAGESTATUS",
                                "ZMESSAGETYPE",
                                "ZSORT",
                                "ZSPOTLIGHTSTATUS",
                                "ZSTARRED",
                                "ZCHATSESSION",
                                "ZGROUPMEMBER",
                                "ZLASTSESSION",
                                "ZMEDIAITEM",
                                "ZMESSAGEINFO",
                                "ZPARENTMESSAGE",
                                "ZMESSAGEDATE:R",
                                "ZSENTDATE:R",
                                "ZFROMJID:T",
                                "ZMEDIASECTIONID:T",
                                "ZPHASH:T",
                                "ZPUSHNAME:B",
                                "ZSTANZAID:T",
                                "ZTEXT:T",
                                "ZTOJID:T"});
  }
  return table("ZWAMESSAGE", {"Z_PK:K",
                              "Z_ENT",
                              "Z_OPT",
                              "ZCHILDMESSAGESDELIVEREDCOUNT",
                              "ZCHILDMESSAGESPLAYEDCOUNT",
                              "ZCHILDMESSAGESREADCOUNT",
                              "ZDATAITEMVERSION",
                              "ZDOCID",
                              "ZENCRETRYCOUNT",
                              "ZFILTEREDRECIPIENTCOUNT",
                              "ZFLAGS",
                              "ZGROUPEVENTTYPE",
                              "ZISFROMME",
                              "ZMESSAGEERRORSTATUS",
                              "ZMESSAGESTATUS",
                              "ZMESSAGETYPE",
                              "ZSORT",
                              "ZSPOTLIGHTSTATUS",
                              "ZSTARRED",
                              "ZCHATSESSION",
                              "ZGROUPMEMBER",
                              "ZLASTSESSION",
                              "ZMEDIAITEM",
                              "ZMESSAGEINFO",
                              "ZPARENTMESSAGE",
                              "ZMESSAGEDATE:R",
                              "ZSENTDATE:R",
                              "ZFROMJID:T",
                              "ZMEDIASECTIONID:T",
                              "ZPHASH:T",
                              "ZPUSHNAME:B",
                              "ZSTANZAID:T",
                              "ZTEXT:T",
                              "ZTOJID:T"});
}

Table whatsAppChatTable() {
  return table("ZWACHATSESSION", {"Z_PK:K",
                                  "Z_ENT",
                                  "Z_OPT",
                                  "ZARCHIVED",
                                  "ZCONTACTABID",
                                  "ZFLAGS",
                                  "ZHIDDEN",
                                  "ZIDENTITYVERIFICATIONEPOCH",
                                  "ZIDENTITYVERIFICATIONSTATE",
                                  "ZMESSAGECOUNTER",
                                  "ZREMOVED",
                                  "ZSESSIONTYPE",
                                  "ZSPOTLIGHTSTATUS",
                                  "ZUNREADCOUNT",
                                  "ZGROUPINFO",
                                  "ZLASTMESSAGE",
                                  "ZPROPERTIES",
                                  "ZLASTMESSAGEDATE:R",
                                  "ZLOCATIONSHARINGENDDATE:R",
                                  "ZCONTACTIDENTIFIER:T",
                                  "ZCONTACTJID:T",
                                  "ZETAG:T",
                                  "ZLASTMESSAGETEXT:T",
                                  "ZPARTNERNAME:T",
                                  "ZSAVEDINPUT:T"});
}

Table whatsAppMemberTable() {
  return table("ZWAGROUPMEMBER", {"Z_PK:K", "Z_ENT", "Z_OPT", "ZCONTACTABID", "ZISACTIVE", "ZISADMIN",
                                  "ZSENDERKEYSENT", "ZCHATSESSION", "ZRECENTGROUPCHAT",
                                  "ZCONTACTIDENTIFIER:T", "ZCONTACTNAME:T", "ZFIRSTNAME:T", "ZMEMBERJID:T"});
}

Table whatsAppMediaTable() {
  return table("ZWAMEDIAITEM", {"Z_PK:K",
                                "Z_ENT",
                                "Z_OPT",
                                "ZCLOUDSTATUS",
                                "ZFILESIZE",
                                "ZMEDIAORIGIN",
                                "ZMOVIEDURATION",
                                "ZMESSAGE",
                                "ZASPECTRATIO:R",
                                "ZHACCURACY:R",
                                "ZLATITUDE:R",
                                "ZLONGITUDE:R",
                                "ZMEDIAURLDATE:R",
                                "ZAUTHORNAME:T",
                                "ZCOLLECTIONNAME:T",
                                "ZMEDIALOCALPATH:T",
                                "ZMEDIAURL:T",
                                "ZTHUMBNAILLOCALPATH:T",
                                "ZTITLE:T",
                                "ZVCARDNAME:T",
                                "ZVCARDSTRING:T",
                                "ZXMPPTHUMBPATH:T",
                                "ZMEDIAKEY:B",
                                "ZMETADATA:B"});
}

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

std::optional<PhoneSystem> PhoneSystemOf(int majorVersion) {
  switch (majorVersion) {
    case 8:
      return PhoneSystem::Ios8;
    case 13:
      return PhoneSystem::Ios13;
    case 14:
      return PhoneSystem::Ios14;
    case 17:
      return PhoneSystem::Ios17;
    default:
      return std::nullopt;
  }
}

std::string ProductVersionOf(PhoneSystem system) {
  switch (system) {
    case PhoneSystem::Ios8:
      return "8.4.1";
    case PhoneSystem::Ios13:
      return "13.7";
    case PhoneSystem::Ios14:
      return "14.8";
    case PhoneSystem::Ios17:
      return "17.3";
  }
  return {};
}

std::vector<std::string> RealMessageTables(PhoneSystem system) {
  return {create(messageTable(system)),  create(handleTable(system)), create(attachmentTable(system)),
          create(attachmentJoinTable()), create(chatTable()),         create(chatHandleJoinTable()),
          create(chatJoinTable(system))};
}

std::string RealInsertMessage(PhoneSystem system, const MessageRow& row) {
  // iOS 8 counts seconds since 2001; later systems nanoseconds.
  const int64_t scale = system == PhoneSystem::Ios8 ? 1 : 1000000000;
  const std::string date = SqlInteger(row.appleSeconds * scale);
  return insert(messageTable(system),
                {{"ROWID", SqlInteger(row.rowId)},
                 {"guid", SqlText(row.guid)},
                 {"text", SqlText(row.text)},
                 {"replace", "0"},
                 {"handle_id", SqlInteger(row.handleRowId)},
                 {"attributedBody", row.attributedBody.empty() ? "NULL" : SqlBlob(row.attributedBody)},
                 {"version", "10"},
                 {"type", "0"},
                 {"service", SqlText(std::string(row.handleRowId != 0 ? "iMessage" : "SMS"))},
                 {"account", row.fromMe ? SqlText(std::string("e:owner@example.com")) : "NULL"},
                 {"account_guid", row.accountGuid.empty() ? "NULL" : SqlText(row.accountGuid)},
                 {"error", "0"},
                 {"date", date},
                 {"date_read", row.fromMe ? "0" : date},
                 {"date_delivered", row.fromMe ? date : "0"},
                 {"is_delivered", flag(row.fromMe)},
                 {"is_finished", "1"},
                 {"is_from_me", flag(row.fromMe)},
                 {"is_read", flag(!row.fromMe)},
                 {"is_sent", flag(row.fromMe)}});
}

std::string RealInsertHandle(PhoneSystem system, int64_t rowId, const std::string& address) {
  return insert(handleTable(system), {{"ROWID", SqlInteger(rowId)},
                                      {"id", SqlText(address)},
                                      {"country", SqlText(std::string("us"))},
                                      {"service", SqlText(std::string("iMessage"))},
                                      {"uncanonicalized_id", SqlText(address)}});
}

std::string RealInsertAttachment(PhoneSystem system, int64_t rowId, const std::string& guid,
                                 const std::string& fileName) {
  return insert(attachmentTable(system), {{"ROWID", SqlInteger(rowId)},
                                          {"guid", SqlText(guid)},
                                          {"created_date", "0"},
                                          {"start_date", "0"},
                                          {"filename", SqlText(fileName)},
                                          {"uti", SqlText(std::string("public.jpeg"))},
                                          {"mime_type", SqlText(std::string("image/jpeg"))},
                                          {"transfer_state", "5"},
                                          {"is_outgoing", "0"},
                                          {"total_bytes", "4096"}});
}

std::string RealInsertAttachmentLink(int64_t messageRowId, int64_t attachmentRowId) {
  return insert(attachmentJoinTable(),
                {{"message_id", SqlInteger(messageRowId)}, {"attachment_id", SqlInteger(attachmentRowId)}});
}

std::string RealInsertChatLink(int64_t chatRowId, int64_t messageRowId, int64_t messageDate) {
  // Written for later systems only: iOS 8's join has no date.
  return insert(chatJoinTable(PhoneSystem::Ios13), {{"chat_id", SqlInteger(chatRowId)},
                                                    {"message_id", SqlInteger(messageRowId)},
                                                    {"message_date", SqlInteger(messageDate)}});
}

std::vector<std::string> RealContactTables(PhoneSystem system) {
  return {CreateContactTable(contactLayout(system)), create(personTable()), create(multiValueTable())};
}

std::vector<std::string> RealInsertContact(PhoneSystem system, const ContactRow& row,
                                           const std::vector<std::string>& numbers) {
  std::vector<std::string> statements = {InsertContact(contactLayout(system), row)};
  statements.push_back(insert(personTable(), {{"ROWID", SqlInteger(row.rowId)},
                                              {"First", SqlText(row.first)},
                                              {"Last", SqlText(row.last)},
                                              {"Organization", SqlText(row.organization)},
                                              {"Kind", "0"}}));
  int64_t identifier = 0;
  for (const std::string& number : numbers) {
    // Property 3 is a phone number.
    statements.push_back(insert(multiValueTable(), {{"record_id", SqlInteger(row.rowId)},
                                                    {"property", "3"},
                                                    {"identifier", SqlInteger(identifier++)},
                                                    {"value", SqlText(number)}}));
  }
  return statements;
}

bool UsesOlderCallTable(PhoneSystem system) { return system == PhoneSystem::Ios8; }

std::string RealCallTable(PhoneSystem system) {
  return create(UsesOlderCallTable(system) ? olderCallTable() : callRecordTable());
}

std::string RealInsertCall(PhoneSystem system, const CallRow& row) {
  if (UsesOlderCallTable(system)) {
    // Bit 0 of the flags: placed from the phone (4 received, 5 placed).
    return insert(olderCallTable(), {{"ROWID", SqlInteger(row.rowId)},
                                     {"address", SqlText(row.number)},
                                     {"date", SqlInteger(row.unixSeconds)},
                                     {"duration", SqlInteger(static_cast<int64_t>(row.duration))},
                                     {"flags", row.originated ? "5" : "4"},
                                     {"id", "-1"},
                                     {"read", "1"},
                                     {"answered", flag(row.duration > 0)}});
  }
  std::string address = SqlText(row.number);
  if (row.number && row.rowId % 2 == 0) address = SqlBlob(bytesOf(*row.number));
  char unique[48];
  std::snprintf(unique, sizeof unique, "5E0C2B1A-7D3F-4A6B-9C8E-%012llX",
                static_cast<unsigned long long>(row.rowId));
  return insert(callRecordTable(), {{"Z_PK", SqlInteger(row.rowId)},
                                    {"Z_ENT", "2"},
                                    {"Z_OPT", "1"},
                                    {"ZANSWERED", flag(row.duration > 0)},
                                    {"ZCALLTYPE", "1"},
                                    {"ZREAD", "1"},
                                    {"ZORIGINATED", flag(row.originated)},
                                    {"ZDATE", SqlReal(row.appleSeconds)},
                                    {"ZDURATION", SqlReal(row.duration)},
                                    {"ZADDRESS", address},
                                    {"ZISO_COUNTRY_CODE", SqlText(std::string("us"))},
                                    {"ZSERVICE_PROVIDER", SqlText(std::string("com.apple.Telephony"))},
                                    {"ZUNIQUE_ID", SqlText(std::string(unique))}});
}

bool HasLegacyNotes(PhoneSystem system) { return system == PhoneSystem::Ios8; }

std::vector<std::string> RealNoteTables() { return {create(noteTable()), create(noteBodyTable())}; }

std::string RealInsertNote(int64_t rowId, int64_t bodyRowId, double appleSeconds,
                           const std::optional<std::string>& title) {
  char guid[48];
  std::snprintf(guid, sizeof guid, "7A1D3C5E-2B4F-4E6A-8D0C-%012llX", static_cast<unsigned long long>(rowId));
  return insert(noteTable(), {{"Z_PK", SqlInteger(rowId)},
                              {"Z_ENT", "3"},
                              {"Z_OPT", "1"},
                              {"ZCONTAINSCJK", "0"},
                              {"ZCONTENTTYPE", "0"},
                              {"ZDELETEDFLAG", "0"},
                              {"ZINTEGERID", SqlInteger(rowId)},
                              {"ZBODY", SqlInteger(bodyRowId)},
                              {"ZSTORE", "1"},
                              {"ZCREATIONDATE", SqlReal(appleSeconds)},
                              {"ZMODIFICATIONDATE", SqlReal(appleSeconds)},
                              {"ZGUID", SqlText(std::string(guid))},
                              {"ZSUMMARY", SqlText(title)},
                              {"ZTITLE", SqlText(title)}});
}

std::string RealInsertNoteBody(int64_t rowId, int64_t noteRowId, const std::optional<std::string>& content) {
  return insert(noteBodyTable(), {{"Z_PK", SqlInteger(rowId)},
                                  {"Z_ENT", "4"},
                                  {"Z_OPT", "1"},
                                  {"ZOWNER", SqlInteger(noteRowId)},
                                  {"ZCONTENT", SqlText(content)}});
}

std::vector<std::string> RealWhatsAppTables(PhoneSystem system) {
  return {create(whatsAppMessageTable(system)), create(whatsAppChatTable()), create(whatsAppMemberTable()),
          create(whatsAppMediaTable())};
}

std::string RealInsertWhatsAppMessage(PhoneSystem system, const WhatsAppMessageRow& row,
                                      const std::string& stanzaId) {
  const std::string date = row.appleSeconds ? SqlReal(*row.appleSeconds) : "NULL";
  return insert(whatsAppMessageTable(system), {{"Z_PK", SqlInteger(row.rowId)},
                                               {"Z_ENT", "9"},
                                               {"Z_OPT", "3"},
                                               {"ZISFROMME", flag(row.fromMe)},
                                               {"ZMESSAGESTATUS", row.fromMe ? "5" : "8"},
                                               {"ZMESSAGETYPE", row.mediaRowId ? "1" : "0"},
                                               {"ZCHATSESSION", SqlInteger(row.chatRowId)},
                                               {"ZGROUPMEMBER", SqlInteger(row.memberRowId)},
                                               {"ZMEDIAITEM", SqlInteger(row.mediaRowId)},
                                               {"ZMESSAGEDATE", date},
                                               {"ZSENTDATE", date},
                                               {"ZFROMJID", SqlText(row.fromJid)},
                                               {"ZSTANZAID", SqlText(stanzaId)},
                                               {"ZTEXT", SqlText(row.text)}});
}

std::string RealInsertWhatsAppChat(int64_t rowId, const std::optional<std::string>& contactJid,
                                   const std::optional<std::string>& partnerName) {
  return insert(whatsAppChatTable(), {{"Z_PK", SqlInteger(rowId)},
                                      {"Z_ENT", "4"},
                                      {"Z_OPT", "1"},
                                      {"ZCONTACTJID", SqlText(contactJid)},
                                      {"ZPARTNERNAME", SqlText(partnerName)}});
}

std::string RealInsertWhatsAppMember(int64_t rowId, int64_t chatRowId, const std::optional<std::string>& name,
                                     const std::optional<std::string>& memberJid) {
  return insert(whatsAppMemberTable(), {{"Z_PK", SqlInteger(rowId)},
                                        {"Z_ENT", "6"},
                                        {"Z_OPT", "1"},
                                        {"ZISACTIVE", "1"},
                                        {"ZCHATSESSION", SqlInteger(chatRowId)},
                                        {"ZCONTACTNAME", SqlText(name)},
                                        {"ZMEMBERJID", SqlText(memberJid)}});
}

std::string RealInsertWhatsAppMedia(int64_t rowId, int64_t messageRowId,
                                    const std::optional<std::string>& path) {
  return insert(whatsAppMediaTable(), {{"Z_PK", SqlInteger(rowId)},
                                       {"Z_ENT", "7"},
                                       {"Z_OPT", "1"},
                                       {"ZMESSAGE", SqlInteger(messageRowId)},
                                       {"ZMEDIALOCALPATH", SqlText(path)}});
}

}  // namespace fq::builder

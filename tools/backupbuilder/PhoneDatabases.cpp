#include "tools/backupbuilder/PhoneDatabases.h"

#include <initializer_list>
#include <utility>

#include "tools/backupbuilder/SqlLiterals.h"

namespace fq::builder {
namespace {

// One table: its name and column declarations in position order.
struct Table {
  std::string name;
  std::vector<std::string> columns;  // "name TYPE ..."
};

std::string createStatement(const Table& t) {
  std::string sql = "CREATE TABLE " + t.name + " (";
  for (size_t i = 0; i < t.columns.size(); ++i) sql += (i ? ", " : "") + t.columns[i];
  return sql + ")";
}

// SQL literals.
std::string text(const std::string& value) { return SqlText(value); }
std::string text(const std::optional<std::string>& value) { return SqlText(value); }
std::string integer(int64_t value) { return SqlInteger(value); }
std::string integer(const std::optional<int64_t>& value) { return SqlInteger(value); }
std::string real(double value) { return SqlReal(value); }
std::string blob(const std::vector<uint8_t>& bytes) { return SqlBlob(bytes); }

// An INSERT of every column: the given (position, literal) pairs, NULL elsewhere.
std::string insertStatement(const Table& t, std::initializer_list<std::pair<size_t, std::string>> values) {
  std::vector<std::string> literals(t.columns.size(), "NULL");
  for (const auto& [position, literal] : values) {
    if (position < literals.size()) literals[position] = literal;
  }
  std::string sql = "INSERT INTO " + t.name + " VALUES (";
  for (size_t i = 0; i < literals.size(); ++i) sql += (i ? ", " : "") + literals[i];
  return sql + ")";
}

// Core Data tables: Z_PK, Z_ENT, Z_OPT, then the entity's attributes.
Table coreDataTable(std::string name, std::initializer_list<std::string> attributes) {
  Table t{std::move(name), {"Z_PK INTEGER PRIMARY KEY", "Z_ENT INTEGER", "Z_OPT INTEGER"}};
  t.columns.insert(t.columns.end(), attributes.begin(), attributes.end());
  return t;
}

// --- sms.db

Table messageTable(MessageLayout layout) {
  Table t{"message",
          {"ROWID INTEGER PRIMARY KEY AUTOINCREMENT",
           "guid TEXT UNIQUE NOT NULL",
           "text TEXT",
           "replace INTEGER DEFAULT 0",
           "service_center TEXT",
           "handle_id INTEGER DEFAULT 0",
           "subject TEXT",
           "country TEXT",
           "attributedBody BLOB",
           "version INTEGER DEFAULT 0",
           "type INTEGER DEFAULT 0",
           "service TEXT",
           "account TEXT",
           "account_guid TEXT",
           "error INTEGER DEFAULT 0",
           "date INTEGER",
           "date_read INTEGER",
           "date_delivered INTEGER",
           "is_delivered INTEGER DEFAULT 0",
           "is_finished INTEGER DEFAULT 0",
           "is_emote INTEGER DEFAULT 0",
           "is_from_me INTEGER DEFAULT 0",
           "is_empty INTEGER DEFAULT 0",
           "is_delayed INTEGER DEFAULT 0",
           "is_auto_reply INTEGER DEFAULT 0",
           "is_prepared INTEGER DEFAULT 0",
           "is_read INTEGER DEFAULT 0",
           "is_system_message INTEGER DEFAULT 0",
           "is_sent INTEGER DEFAULT 0",
           "has_dd_results INTEGER DEFAULT 0",
           "is_service_message INTEGER DEFAULT 0",
           "is_forward INTEGER DEFAULT 0",
           "was_downgraded INTEGER DEFAULT 0",
           "is_archive INTEGER DEFAULT 0",
           "cache_has_attachments INTEGER DEFAULT 0",
           "cache_roomnames TEXT",
           "was_data_detected INTEGER DEFAULT 0",
           "was_deduplicated INTEGER DEFAULT 0"}};
  if (layout == MessageLayout::Nanoseconds51) {
    for (const char* c :
         {"is_audio_message INTEGER DEFAULT 0", "is_played INTEGER DEFAULT 0", "date_played INTEGER",
          "item_type INTEGER DEFAULT 0", "other_handle INTEGER DEFAULT 0", "group_title TEXT",
          "group_action_type INTEGER DEFAULT 0", "share_status INTEGER DEFAULT 0",
          "share_direction INTEGER DEFAULT 0", "is_expirable INTEGER DEFAULT 0",
          "expire_state INTEGER DEFAULT 0", "message_action_type INTEGER DEFAULT 0",
          "message_source INTEGER DEFAULT 0"}) {
      t.columns.emplace_back(c);
    }
  }
  return t;
}

const Table& handleTable() {
  static const Table t{"handle",
                       {"ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE", "id TEXT NOT NULL", "country TEXT",
                        "service TEXT NOT NULL", "uncanonicalized_id TEXT"}};
  return t;
}

const Table& attachmentTable() {
  static const Table t{
      "attachment",
      {"ROWID INTEGER PRIMARY KEY AUTOINCREMENT", "guid TEXT UNIQUE NOT NULL",
       "created_date INTEGER DEFAULT 0", "start_date INTEGER DEFAULT 0", "filename TEXT", "uti TEXT",
       "mime_type TEXT", "transfer_state INTEGER DEFAULT 0", "is_outgoing INTEGER DEFAULT 0"}};
  return t;
}

const Table& attachmentJoinTable() {
  static const Table t{"message_attachment_join",
                       {"message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE",
                        "attachment_id INTEGER REFERENCES attachment (ROWID) ON DELETE CASCADE"}};
  return t;
}

// --- AddressBook.sqlitedb

Table contactTable(ContactLayout layout) {
  Table t{"ABPersonFullTextSearch_content",
          {"docid INTEGER PRIMARY KEY", "c0First", "c1Last", "c2Middle", "c3FirstPhonetic",
           "c4MiddlePhonetic", "c5LastPhonetic", "c6Organization"}};
  // Newer systems index the organization's phonetic spelling too, which
  // moves the phone and everything after it one place to the right.
  const bool newer = layout == ContactLayout::Columns26;
  std::vector<std::string> rest = {
      "Department", "Note",  "Birthday", "JobTitle",      "Nickname", "Prefix",       "Suffix", "DisplayName",
      "Phone",      "Email", "Address",  "SocialProfile", "URL",      "RelatedNames", "IM",     "Date"};
  if (newer) rest.insert(rest.begin(), "OrganizationPhonetic");
  if (layout != ContactLayout::Columns24) rest.emplace_back("SupplementalCompositeNameTerms");
  int index = 7;
  for (const std::string& name : rest) t.columns.push_back("c" + std::to_string(index++) + name);
  return t;
}

size_t phoneColumn(ContactLayout layout) { return layout == ContactLayout::Columns26 ? 17 : 16; }

// --- call history

Table callRecordTable(bool newerThan11) {
  Table t =
      coreDataTable("ZCALLRECORD", {"ZANSWERED INTEGER", "ZCALLTYPE INTEGER", "ZDISCONNECTED_CAUSE INTEGER",
                                    "ZFACE_TIME_DATA INTEGER", "ZHANDLE_TYPE INTEGER",
                                    "ZNUMBER_AVAILABILITY INTEGER", "ZREAD INTEGER", "ZORIGINATED INTEGER",
                                    "ZJUNKCONFIDENCE INTEGER", "ZDATE TIMESTAMP", "ZDURATION FLOAT",
                                    "ZDEVICE_ID VARCHAR", "ZISO_COUNTRY_CODE VARCHAR", "ZLOCATION VARCHAR",
                                    "ZNAME VARCHAR", "ZSERVICE_PROVIDER VARCHAR", "ZUNIQUE_ID VARCHAR"});
  if (newerThan11) t.columns.emplace_back("ZPARTICIPANT_GROUP_UUIDS BLOB");
  t.columns.emplace_back("ZADDRESS VARCHAR");
  return t;
}

const Table& callTable() {
  static const Table t{"call",
                       {"ROWID INTEGER PRIMARY KEY AUTOINCREMENT",
                        "name TEXT",
                        "country_code TEXT",
                        "network_code TEXT",
                        "read INTEGER",
                        "assisted INTEGER",
                        "face_time_data BLOB",
                        "originalAddress TEXT",
                        "id INTEGER",
                        "disconnected_cause INTEGER",
                        "flags INTEGER",
                        "answered INTEGER",
                        "date INTEGER",
                        "duration INTEGER",
                        "location TEXT",
                        "service_provider TEXT",
                        "unique_id TEXT",
                        "device_id TEXT",
                        "junk INTEGER",
                        "handle_type INTEGER",
                        "address TEXT"}};
  return t;
}

// --- notes

const Table& noteTable() {
  static const Table t =
      coreDataTable("ZNOTE", {"ZCONTAINSCJK INTEGER", "ZCONTENTTYPE INTEGER", "ZDELETEDFLAG INTEGER",
                              "ZEXTERNALFLAGS INTEGER", "ZEXTERNALSERVERINTID INTEGER", "ZINTEGERID INTEGER",
                              "ZISBOOKKEEPINGENTRY INTEGER", "ZSTORE INTEGER", "ZBODY INTEGER",
                              "ZCREATIONDATE TIMESTAMP", "ZDELETEDDATE TIMESTAMP",
                              "ZMODIFICATIONDATE TIMESTAMP", "ZAUTHOR VARCHAR", "ZEXTERNALCONTENTREF VARCHAR",
                              "ZEXTERNALREPRESENTATION BLOB", "ZGUID VARCHAR", "ZTITLE VARCHAR"});
  return t;
}

const Table& noteBodyTable() {
  static const Table t = coreDataTable(
      "ZNOTEBODY",
      {"ZOWNER INTEGER", "ZCONTENT VARCHAR", "ZEXTERNALCONTENTREF VARCHAR", "ZEXTERNALREPRESENTATION BLOB"});
  return t;
}

// --- ChatStorage.sqlite

Table whatsAppMessageTable(WhatsAppLayout layout) {
  Table t = coreDataTable("ZWAMESSAGE", {"ZCHILDMESSAGESDELIVEREDCOUNT INTEGER",
                                         "ZCHILDMESSAGESPLAYEDCOUNT INTEGER",
                                         "ZCHILDMESSAGESREADCOUNT INTEGER",
                                         "ZDATAITEMVERSION INTEGER",
                                         "ZDOCID INTEGER",
                                         "ZENCRETRYCOUNT INTEGER",
                                         "ZFILTEREDRECIPIENTCOUNT INTEGER",
                                         "ZFLAGS INTEGER",
                                         "ZGROUPEVENTTYPE INTEGER",
                                         "ZISFROMME INTEGER",
                                         "ZMESSAGEERRORSTATUS INTEGER",
                                         "ZMESSAGESTATUS INTEGER",
                                         "ZMESSAGETYPE INTEGER",
                                         "ZSORT INTEGER",
                                         "ZSPOTLIGHTSTATUS INTEGER",
                                         "ZSTARRED INTEGER",
                                         "ZCHATSESSION INTEGER",
                                         "ZGROUPMEMBER INTEGER",
                                         "ZLASTSESSION INTEGER",
                                         "ZMEDIAITEM INTEGER",
                                         "ZMESSAGEINFO INTEGER",
                                         "ZPARENTMESSAGE INTEGER",
                                         "ZMESSAGEDATE TIMESTAMP",
                                         "ZSENTDATE TIMESTAMP"});
  if (layout == WhatsAppLayout::Older28) {
    t.columns.emplace_back("ZTEXT VARCHAR");
    return t;
  }
  for (const char* c : {"ZFROMJID VARCHAR", "ZMEDIASECTIONID VARCHAR", "ZPHASH VARCHAR", "ZPUSHNAME VARCHAR",
                        "ZSTANZAID VARCHAR", "ZTEXT VARCHAR", "ZTOJID VARCHAR"}) {
    t.columns.emplace_back(c);
  }
  return t;
}

const Table& whatsAppChatTable() {
  static const Table t = coreDataTable("ZWACHATSESSION", {"ZARCHIVED INTEGER",
                                                          "ZCONTACTABID INTEGER",
                                                          "ZFLAGS INTEGER",
                                                          "ZHIDDEN INTEGER",
                                                          "ZIDENTITYVERIFICATIONEPOCH INTEGER",
                                                          "ZIDENTITYVERIFICATIONSTATE INTEGER",
                                                          "ZMESSAGECOUNTER INTEGER",
                                                          "ZREMOVED INTEGER",
                                                          "ZSESSIONTYPE INTEGER",
                                                          "ZSPOTLIGHTSTATUS INTEGER",
                                                          "ZUNREADCOUNT INTEGER",
                                                          "ZGROUPINFO INTEGER",
                                                          "ZLASTMESSAGE INTEGER",
                                                          "ZPROPERTIES INTEGER",
                                                          "ZLASTMESSAGEDATE TIMESTAMP",
                                                          "ZLOCATIONSHARINGENDDATE TIMESTAMP",
                                                          "ZCONTACTIDENTIFIER VARCHAR",
                                                          "ZCONTACTJID VARCHAR",
                                                          "ZETAG VARCHAR",
                                                          "ZLASTMESSAGETEXT VARCHAR",
                                                          "ZPARTNERNAME VARCHAR",
                                                          "ZSAVEDINPUT VARCHAR"});
  return t;
}

const Table& whatsAppMemberTable() {
  static const Table t =
      coreDataTable("ZWAGROUPMEMBER", {"ZCONTACTABID INTEGER", "ZISACTIVE INTEGER", "ZISADMIN INTEGER",
                                       "ZSENDERKEYSENT INTEGER", "ZCHATSESSION INTEGER",
                                       "ZRECENTGROUPCHAT INTEGER", "ZCONTACTIDENTIFIER VARCHAR",
                                       "ZCONTACTNAME VARCHAR", "ZFIRSTNAME VARCHAR", "ZMEMBERJID VARCHAR"});
  return t;
}

const Table& whatsAppMediaTable() {
  static const Table t = coreDataTable(
      "ZWAMEDIAITEM", {"ZCLOUDSTATUS INTEGER",    "ZFILESIZE INTEGER",   "ZMEDIAORIGIN INTEGER",
                       "ZMOVIEDURATION INTEGER",  "ZMESSAGE INTEGER",    "ZASPECTRATIO FLOAT",
                       "ZHACCURACY FLOAT",        "ZLATITUDE FLOAT",     "ZLONGITUDE FLOAT",
                       "ZMEDIAURLDATE TIMESTAMP", "ZAUTHORNAME VARCHAR", "ZCOLLECTIONNAME VARCHAR",
                       "ZTITLE VARCHAR",          "ZMEDIAURL VARCHAR",   "ZTHUMBNAILLOCALPATH VARCHAR",
                       "ZMEDIALOCALPATH VARCHAR", "ZVCARDNAME VARCHAR",  "ZVCARDSTRING VARCHAR",
                       "ZXMPPTHUMBPATH VARCHAR",  "ZMEDIAKEY BLOB",      "ZMETADATA BLOB"});
  return t;
}

}  // namespace

std::vector<std::string> CreateMessageTables(MessageLayout layout) {
  return {createStatement(messageTable(layout)), createStatement(handleTable()),
          createStatement(attachmentTable()), createStatement(attachmentJoinTable())};
}

std::string InsertMessage(MessageLayout layout, const MessageRow& row) {
  const bool nanoseconds = layout == MessageLayout::Nanoseconds51;
  const std::string date = integer(nanoseconds ? row.appleSeconds * 1000000000 : row.appleSeconds);
  return insertStatement(messageTable(layout),
                         {{0, integer(row.rowId)},
                          {1, text(row.guid)},
                          {2, text(row.text)},
                          {3, "0"},
                          {5, integer(row.handleRowId)},
                          {8, row.attributedBody.empty() ? "NULL" : blob(row.attributedBody)},
                          {9, "10"},
                          {11, text(std::string(row.handleRowId != 0 ? "iMessage" : "SMS"))},
                          {12, row.fromMe ? text(std::string("e:owner@example.com")) : "NULL"},
                          {13, row.accountGuid.empty() ? "NULL" : text(row.accountGuid)},
                          {15, date},
                          {16, row.fromMe ? "0" : date},
                          {17, row.fromMe ? date : "0"},
                          {18, row.fromMe ? "1" : "0"},
                          {19, "1"},
                          {21, row.fromMe ? "1" : "0"},
                          {26, row.fromMe ? "0" : "1"},
                          {28, row.fromMe ? "1" : "0"}});
}

std::string InsertHandle(int64_t rowId, const std::string& address) {
  return insertStatement(
      handleTable(),
      {{0, integer(rowId)}, {1, text(address)}, {2, text(std::string("us"))}, {3, text(std::string("SMS"))}});
}

std::string InsertAttachment(int64_t rowId, const std::string& guid, const std::string& fileName) {
  return insertStatement(
      attachmentTable(),
      {{0, integer(rowId)}, {1, text(guid)}, {4, text(fileName)}, {6, text(std::string("image/jpeg"))}});
}

std::string InsertAttachmentLink(int64_t messageRowId, int64_t attachmentRowId) {
  return insertStatement(attachmentJoinTable(), {{0, integer(messageRowId)}, {1, integer(attachmentRowId)}});
}

std::string CreateContactTable(ContactLayout layout) { return createStatement(contactTable(layout)); }

std::string InsertContact(ContactLayout layout, const ContactRow& row) {
  const size_t phone = phoneColumn(layout);
  return insertStatement(contactTable(layout), {{0, integer(row.rowId)},
                                                {1, text(row.first)},
                                                {2, text(row.last)},
                                                {7, text(row.organization)},
                                                {phone, text(row.phone)},
                                                {phone + 1, text(row.email)},
                                                {phone + 2, text(row.address)},
                                                {phone + 3, text(row.social)},
                                                {phone + 4, text(row.url)}});
}

std::string PhoneSpellings(const std::string& tenDigits) {
  if (tenDigits.size() != 10) return tenDigits + " ";
  const std::string area = tenDigits.substr(0, 3);
  const std::string exchange = tenDigits.substr(3, 3);
  const std::string line = tenDigits.substr(6);
  return "(" + area + ") " + exchange + "-" + line + " +1" + tenDigits + " 0111" + tenDigits + " 001" +
         tenDigits + " 1" + tenDigits + " " + tenDigits + " " + exchange + line + " ";
}

std::string CreateCallRecordTable(bool newerThan11) { return createStatement(callRecordTable(newerThan11)); }

std::string InsertCallRecord(bool newerThan11, const CallRow& row) {
  const size_t address = newerThan11 ? 21 : 20;
  return insertStatement(callRecordTable(newerThan11), {{0, integer(row.rowId)},
                                                        {1, "2"},
                                                        {2, "1"},
                                                        {3, row.duration > 0 ? "1" : "0"},
                                                        {4, "1"},
                                                        {9, "1"},
                                                        {10, row.originated ? "1" : "0"},
                                                        {12, real(row.appleSeconds)},
                                                        {13, real(row.duration)},
                                                        {15, text(std::string("us"))},
                                                        {address, text(row.number)}});
}

std::string CreateCallTable() { return createStatement(callTable()); }

std::string InsertCall(const CallRow& row) {
  return insertStatement(callTable(), {{0, integer(row.rowId)},
                                       {4, "1"},
                                       {10, row.originated ? "1" : "0"},
                                       {11, row.duration > 0 ? "1" : "0"},
                                       {12, integer(row.unixSeconds)},
                                       {13, integer(static_cast<int64_t>(row.duration))},
                                       {20, text(row.number)}});
}

std::vector<std::string> CreateNoteTables() {
  return {createStatement(noteTable()), createStatement(noteBodyTable())};
}

std::string InsertNote(int64_t rowId, int64_t bodyRowId, double appleSeconds,
                       const std::optional<std::string>& title) {
  return insertStatement(noteTable(), {{0, integer(rowId)},
                                       {1, "3"},
                                       {2, "1"},
                                       {10, "1"},
                                       {11, integer(bodyRowId)},
                                       {12, real(appleSeconds)},
                                       {14, real(appleSeconds)},
                                       {19, text(title)}});
}

std::string InsertNoteBody(int64_t rowId, int64_t noteRowId, const std::optional<std::string>& content) {
  return insertStatement(
      noteBodyTable(),
      {{0, integer(rowId)}, {1, "4"}, {2, "1"}, {3, integer(noteRowId)}, {4, text(content)}});
}

std::vector<std::string> CreateWhatsAppTables(WhatsAppLayout layout) {
  return {createStatement(whatsAppMessageTable(layout)), createStatement(whatsAppChatTable()),
          createStatement(whatsAppMemberTable()), createStatement(whatsAppMediaTable())};
}

std::string InsertWhatsAppMessage(WhatsAppLayout layout, const WhatsAppMessageRow& row) {
  const bool newer = layout == WhatsAppLayout::Newer34;
  const std::string date = row.appleSeconds ? real(*row.appleSeconds) : "NULL";
  return insertStatement(whatsAppMessageTable(layout), {{0, integer(row.rowId)},
                                                        {1, "9"},
                                                        {2, "3"},
                                                        {12, row.fromMe ? "1" : "0"},
                                                        {14, row.fromMe ? "5" : "8"},
                                                        {15, row.mediaRowId ? "1" : "0"},
                                                        {19, integer(row.chatRowId)},
                                                        {20, integer(row.memberRowId)},
                                                        {22, integer(row.mediaRowId)},
                                                        {25, date},
                                                        {26, date},
                                                        {27, newer ? text(row.fromJid) : text(row.text)},
                                                        {32, text(row.text)}});
}

std::string InsertWhatsAppChat(int64_t rowId, const std::optional<std::string>& contactJid,
                               const std::optional<std::string>& partnerName) {
  return insertStatement(
      whatsAppChatTable(),
      {{0, integer(rowId)}, {1, "4"}, {2, "1"}, {20, text(contactJid)}, {23, text(partnerName)}});
}

std::string InsertWhatsAppMember(int64_t rowId, int64_t chatRowId, const std::optional<std::string>& name,
                                 const std::optional<std::string>& memberJid) {
  return insertStatement(whatsAppMemberTable(), {{0, integer(rowId)},
                                                 {1, "6"},
                                                 {2, "1"},
                                                 {4, "1"},
                                                 {7, integer(chatRowId)},
                                                 {10, text(name)},
                                                 {12, text(memberJid)}});
}

std::string InsertWhatsAppMedia(int64_t rowId, const std::optional<std::string>& path) {
  return insertStatement(whatsAppMediaTable(), {{0, integer(rowId)}, {1, "7"}, {2, "1"}, {18, text(path)}});
}

}  // namespace fq::builder

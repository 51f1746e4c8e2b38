#include "tools/backupbuilder/DemoPhoneData.h"

#include <cstdio>

#include "tools/backupbuilder/NoteStoreDatabase.h"
#include "tools/backupbuilder/PhoneDatabases.h"
#include "tools/backupbuilder/RealPhoneLayouts.h"

namespace fq::builder {
namespace {

constexpr const char* kHome = "HomeDomain";
constexpr const char* kWhatsAppGroup = "AppDomainGroup-group.net.whatsapp.WhatsApp.shared";

// 2019-03-01 00:00:00 UTC in seconds since 2001-01-01.
constexpr int64_t kMarch2019 = 573091200;
constexpr int64_t kHour = 3600;
constexpr int64_t kDay = 24 * kHour;
// 2001-01-01 00:00:00 UTC in seconds since 1970.
constexpr int64_t kAppleEpochInUnixSeconds = 978307200;

std::string guid(int n) {
  char text[40];
  std::snprintf(text, sizeof text, "6F1C2A9E-41B7-4D0A-9C3E-%012X", n);
  return text;
}

SqliteRecipe smsDatabase(std::optional<PhoneSystem> system) {
  constexpr auto layout = MessageLayout::Nanoseconds51;
  const std::string account = "0A1B2C3D-4E5F-4061-8273-94A5B6C7D8E9";
  SqliteRecipe spec;
  spec.statements = system ? RealMessageTables(*system) : CreateMessageTables(layout);
  auto& s = spec.statements;
  const auto handle = [&](int64_t rowId, const std::string& address) {
    return system ? RealInsertHandle(*system, rowId, address) : InsertHandle(rowId, address);
  };
  s.push_back(handle(1, "+15550104477"));
  s.push_back(handle(2, "+15550109876"));
  s.push_back(handle(3, "alex.rivers@example.com"));
  s.push_back(handle(4, "+15550107711"));
  struct Line {
    int64_t handle;
    int64_t when;
    bool fromMe;
    const char* text;
  };
  const Line lines[] = {
      {1, kMarch2019 + 9 * kHour, false, "Are we still on for the harbour walk on Saturday?"},
      {1, kMarch2019 + 9 * kHour + 240, true, "Yes! Meet at the ferry steps at 10."},
      {1, kMarch2019 + 9 * kHour + 600, false, "Perfect. Here is the map I mentioned."},
      {2, kMarch2019 + 2 * kDay + 18 * kHour, false, "Can you send me the \"final\" budget sheet?"},
      {2, kMarch2019 + 2 * kDay + 18 * kHour + 900, true,
       "Sent it to your email, it's the one from Tuesday."},
      {3, kMarch2019 + 4 * kDay + 8 * kHour, false, "Your parcel is waiting at the front desk."},
      {4, kMarch2019 + 5 * kDay + 21 * kHour, false, "The spare key is under the blue flowerpot."},
      {4, kMarch2019 + 5 * kDay + 21 * kHour + 120, true, "Thanks, I'll pick it up tonight."},
      {1, kMarch2019 + 7 * kDay + 12 * kHour, true, "Running ten minutes late, sorry."},
      {2, kMarch2019 + 9 * kDay + 15 * kHour, false, "Lunch on Thursday? My treat."},
  };
  int64_t rowId = 0;
  for (const Line& line : lines) {
    ++rowId;
    MessageRow m;
    m.rowId = rowId;
    m.guid = guid(static_cast<int>(rowId));
    m.text = line.text;
    m.handleRowId = line.handle;
    m.accountGuid = account;
    m.appleSeconds = line.when;
    m.fromMe = line.fromMe;
    if (!system) {
      s.push_back(InsertMessage(layout, m));
      continue;
    }
    s.push_back(RealInsertMessage(*system, m));
    if (*system != PhoneSystem::Ios8)
      s.push_back(RealInsertChatLink(line.handle, rowId, line.when * 1000000000));
  }
  const auto attachment = [&](int64_t rowId, const std::string& guid, const std::string& fileName) {
    return system ? RealInsertAttachment(*system, rowId, guid, fileName)
                  : InsertAttachment(rowId, guid, fileName);
  };
  s.push_back(attachment(
      1, guid(101), "~/Library/SMS/Attachments/3f/15/8C2E1B7A-5D44-4F0B-9E1A-2B7C6D5E4F30/IMG_0300.jpeg"));
  s.push_back(
      attachment(2, guid(102), "~/Library/SMS/Attachments/a0/00/0D6F4C2A-1B3E-4A5D-8C7B-6E5F4A3B2C1D/image"));
  s.push_back(system ? RealInsertAttachmentLink(3, 1) : InsertAttachmentLink(3, 1));
  s.push_back(system ? RealInsertAttachmentLink(7, 2) : InsertAttachmentLink(7, 2));
  // Deleted on the phone: the budget request, the spare-key thread and its picture.
  spec.deletions = {"DELETE FROM message WHERE ROWID IN (4, 7, 8)", "DELETE FROM attachment WHERE ROWID = 2",
                    "DELETE FROM message_attachment_join WHERE message_id = 7"};
  if (system) spec.deletions.push_back("DELETE FROM chat_message_join WHERE message_id IN (4, 7, 8)");
  return spec;
}

SqliteRecipe addressBookDatabase(std::optional<PhoneSystem> system) {
  constexpr auto layout = ContactLayout::Columns26;
  SqliteRecipe spec;
  spec.statements =
      system ? RealContactTables(*system) : std::vector<std::string>{CreateContactTable(layout)};
  const auto add = [&](const ContactRow& c, const char* shownNumber) {
    if (!system) {
      spec.statements.push_back(InsertContact(layout, c));
      return;
    }
    std::vector<std::string> numbers;
    if (shownNumber) numbers.emplace_back(shownNumber);
    for (std::string& statement : RealInsertContact(*system, c, numbers))
      spec.statements.push_back(std::move(statement));
  };
  const auto contact = [&](int64_t id, const char* first, const char* last, std::optional<std::string> phone,
                           std::optional<std::string> email) {
    ContactRow c;
    c.rowId = id;
    if (first) c.first = first;
    if (last) c.last = last;
    c.phone = std::move(phone);
    c.email = std::move(email);
    return c;
  };
  add(contact(1, "Mia", "Chen", PhoneSpellings("5550104477"), std::string("mia.chen@example.com")),
      "(555) 010-4477");
  add(contact(2, "Sam", "Ortiz", PhoneSpellings("5550109876"), {}), "(555) 010-9876");
  ContactRow cafe = contact(3, nullptr, nullptr, PhoneSpellings("5550142200"), {});
  cafe.organization = "Harbour Cafe";
  cafe.address = "12 Quay Street Portside ";
  cafe.url = "http://harbourcafe.example.com";
  add(cafe, "(555) 014-2200");
  add(contact(4, "Alex", "Rivers", std::nullopt, std::string("alex.rivers@example.com")), nullptr);
  add(contact(5, "Jordan", "Blake", PhoneSpellings("5550107711"), {}), "(555) 010-7711");
  add(contact(6, "Dr. Priya", "Natarajan", PhoneSpellings("5550163300"),
              std::string("priya@clinic.example.com")),
      "(555) 016-3300");
  // Deleted on the phone: Jordan.
  spec.deletions = {"DELETE FROM ABPersonFullTextSearch_content WHERE docid = 5"};
  if (system) {
    spec.deletions.push_back("DELETE FROM ABPerson WHERE ROWID = 5");
    spec.deletions.push_back("DELETE FROM ABMultiValue WHERE record_id = 5");
  }
  return spec;
}

SqliteRecipe callHistoryDatabase(std::optional<PhoneSystem> system) {
  constexpr bool newer = true;
  SqliteRecipe spec;
  spec.statements = {system ? RealCallTable(*system) : CreateCallRecordTable(newer)};
  struct Call {
    bool originated;
    double when;
    double duration;
    const char* number;
  };
  const Call calls[] = {
      {false, kMarch2019 + 8 * kHour + 0.5, 65.4, "+15550104477"},
      {true, kMarch2019 + kDay + 17 * kHour + 0.25, 12.9, "+15550109876"},
      {false, kMarch2019 + 2 * kDay + 7 * kHour + 0.75, 0, "+15550142200"},
      {true, kMarch2019 + 3 * kDay + 11 * kHour + 0.125, 304.2, "611"},
      {false, kMarch2019 + 5 * kDay + 20 * kHour + 0.5, 47.0, "+15550107711"},
      {true, kMarch2019 + 6 * kDay + 9 * kHour + 0.5, 0, "+15550163300"},
  };
  int64_t rowId = 0;
  for (const Call& c : calls) {
    CallRow row;
    row.rowId = ++rowId;
    row.originated = c.originated;
    row.appleSeconds = c.when;
    row.unixSeconds = static_cast<int64_t>(c.when) + kAppleEpochInUnixSeconds;
    row.duration = c.duration;
    row.number = c.number;
    spec.statements.push_back(system ? RealInsertCall(*system, row) : InsertCallRecord(newer, row));
  }
  spec.deletions = {system && UsesOlderCallTable(*system) ? "DELETE FROM call WHERE ROWID IN (2, 5)"
                                                          : "DELETE FROM ZCALLRECORD WHERE Z_PK IN (2, 5)"};
  return spec;
}

SqliteRecipe notesDatabase(bool realLayout) {
  SqliteRecipe spec;
  spec.statements = realLayout ? RealNoteTables() : CreateNoteTables();
  auto& s = spec.statements;
  const auto body = [&](int64_t rowId, const char* content) {
    s.push_back(realLayout ? RealInsertNoteBody(rowId, rowId, std::string(content))
                           : InsertNoteBody(rowId, rowId, std::string(content)));
  };
  const auto note = [&](int64_t rowId, double when, const char* title) {
    s.push_back(realLayout ? RealInsertNote(rowId, rowId, when, std::string(title))
                           : InsertNote(rowId, rowId, when, std::string(title)));
  };
  const double base = kMarch2019 + 0.5;
  body(1, "<div>Shopping</div><div>eggs &amp; bread</div><div>olive oil</div>");
  note(1, base + 10 * kHour, "Shopping");
  body(2, "Gate code 4417<br>Wi-Fi: harbour&nbsp;guest");
  note(2, base + kDay + 14 * kHour, "Gate code");
  body(3, "<div>Ideas for Mum&#39;s birthday</div><div>&quot;a day out&quot; &lt;boat&gt;</div>");
  note(3, base + 3 * kDay + 19 * kHour, "Birthday ideas");
  body(4, "<div>Account 5521-0093</div><div>PIN hint: the old street</div>");
  note(4, base + 4 * kDay + 22 * kHour, "Bank");
  // Deleted on the phone: the whole bank note.
  spec.deletions = {"DELETE FROM ZNOTE WHERE Z_PK = 4", "DELETE FROM ZNOTEBODY WHERE Z_PK = 4"};
  return spec;
}

// The notes store of a newer phone (the demo keeps it beside its legacy notes
// database), in the layout of `system`.
SqliteRecipe noteStoreDatabase(std::optional<PhoneSystem> system) {
  const double base = kMarch2019 + 6 * kDay + 0.25;
  std::vector<NoteStoreNote> notes = {
      {.rowId = 20,
       .dataRowId = 8,
       .title = "Packing list",
       .modifiedAppleSeconds = base + 9 * kHour,
       .text = "Packing list\nswimsuit\ncharger\npassport"},
      {.rowId = 21,
       .dataRowId = 9,
       .title = "Ferry times",
       .modifiedAppleSeconds = base + kDay + 8 * kHour,
       .text = "Ferry times\n07:40, 09:15, 12:30"},
      {.rowId = 22,
       .dataRowId = 10,
       .title = "Locked diary",
       .modifiedAppleSeconds = base + 2 * kDay,
       .text = "Locked diary\nnot for anyone",
       .locked = true},
      {.rowId = 23,
       .dataRowId = 11,
       .title = "Old quote",
       .modifiedAppleSeconds = base + 3 * kDay,
       .text = "Old quote\nroof repair 2,400"},
  };
  // Deleted on the phone and purged: the old quote.
  return NoteStoreDatabase(notes, {23}, system);
}

SqliteRecipe whatsAppDatabase(std::optional<PhoneSystem> system) {
  constexpr auto layout = WhatsAppLayout::Newer34;
  SqliteRecipe spec;
  spec.statements = system ? RealWhatsAppTables(*system) : CreateWhatsAppTables(layout);
  auto& s = spec.statements;
  const auto chat = [&](int64_t rowId, const char* jid, const char* name) {
    s.push_back(system ? RealInsertWhatsAppChat(rowId, std::string(jid), std::string(name))
                       : InsertWhatsAppChat(rowId, std::string(jid), std::string(name)));
  };
  const auto member = [&](int64_t rowId, const char* name, const char* jid) {
    s.push_back(system ? RealInsertWhatsAppMember(rowId, 2, std::string(name), std::string(jid))
                       : InsertWhatsAppMember(rowId, 2, std::string(name), std::string(jid)));
  };
  const auto media = [&](int64_t rowId, int64_t messageRowId, const char* path) {
    s.push_back(system ? RealInsertWhatsAppMedia(rowId, messageRowId, std::string(path))
                       : InsertWhatsAppMedia(rowId, std::string(path)));
  };
  chat(1, "15550104477@s.whatsapp.net", "Mia Chen");
  chat(2, "120363000000000001@g.us", "Harbour Walk");
  member(1, "Mia Chen", "15550104477@s.whatsapp.net");
  member(2, "Sam Ortiz", "15550109876@s.whatsapp.net");
  member(3, "Alex Rivers", "15550102233@s.whatsapp.net");
  media(1, 3, "Media/15550104477@s.whatsapp.net/2/7/27a1c0de-photo.jpg");
  media(2, 9, "Media/15550104477@s.whatsapp.net/3/1/31b2d0ef-video.mp4");
  struct Message {
    int64_t chat;
    int64_t member;  // 0: none
    bool fromMe;
    double when;
    const char* text;  // nullptr: a media message
    int64_t media;
  };
  const double day = kMarch2019 + 2 * kDay;
  const Message messages[] = {
      {1, 0, false, day + 10 * kHour + 0.25, "Did you get home okay?", 0},
      {1, 0, true, day + 10 * kHour + 95.5, "Yes, thanks for the lift!", 0},
      {1, 0, false, day + 10 * kHour + 300.75, nullptr, 1},
      {2, 2, false, day + kDay + 9 * kHour + 0.5, "Walk starts at 10 sharp", 0},
      {2, 3, false, day + kDay + 9 * kHour + 60.5, "I'll bring the flask", 0},
      {2, 0, true, day + kDay + 9 * kHour + 120.5, "Count me in", 0},
      {1, 0, false, day + 2 * kDay + 20 * kHour + 0.5, "Please delete this one after reading", 0},
      {2, 2, false, day + 2 * kDay + 21 * kHour + 0.5, "Change of plan: meet at the lighthouse", 0},
      {1, 0, true, day + 3 * kDay + 8 * kHour + 0.5, nullptr, 2},
      {2, 1, false, day + 3 * kDay + 9 * kHour + 0.5, "Photos from the walk are up", 0},
  };
  int64_t rowId = 0;
  for (const Message& m : messages) {
    WhatsAppMessageRow row;
    row.rowId = ++rowId;
    row.fromMe = m.fromMe;
    row.chatRowId = m.chat;
    if (m.member != 0) row.memberRowId = m.member;
    if (m.media != 0) row.mediaRowId = m.media;
    row.appleSeconds = m.when;
    if (!m.fromMe) row.fromJid = m.chat == 1 ? "15550104477@s.whatsapp.net" : "120363000000000001@g.us";
    if (m.text) row.text = m.text;
    if (!system) {
      s.push_back(InsertWhatsAppMessage(layout, row));
      continue;
    }
    char stanza[24];
    std::snprintf(stanza, sizeof stanza, "3EB0C4A1D2E3F4%06lld", static_cast<long long>(rowId));
    s.push_back(RealInsertWhatsAppMessage(*system, row, stanza));
  }
  spec.deletions = {"DELETE FROM ZWAMESSAGE WHERE Z_PK IN (7, 8)",
                    "DELETE FROM ZWAGROUPMEMBER WHERE Z_PK = 3"};
  return spec;
}

}  // namespace

bool AddDemoPhoneDatabases(BackupBuilder& b, std::string* error) {
  return AddDemoPhoneDatabases(b, std::nullopt, error);
}

bool AddDemoPhoneDatabases(BackupBuilder& b, std::optional<PhoneSystem> system, std::string* error) {
  const bool olderCalls = system && UsesOlderCallTable(*system);
  const char* callPath =
      olderCalls ? "Library/CallHistory/call_history.db" : "Library/CallHistoryDB/CallHistory.storedata";
  const bool notes = !system || HasLegacyNotes(*system);
  const bool noteStore = !system || HasNoteStore(*system);
  return b.addDatabase(kHome, "Library/SMS/sms.db", smsDatabase(system), error) &&
         b.addDatabase(kHome, "Library/AddressBook/AddressBook.sqlitedb", addressBookDatabase(system),
                       error) &&
         b.addDatabase(olderCalls ? "WirelessDomain" : kHome, callPath, callHistoryDatabase(system), error) &&
         (!notes ||
          b.addDatabase(kHome, "Library/Notes/notes.sqlite", notesDatabase(system.has_value()), error)) &&
         (!noteStore || b.addDatabase(kNoteStoreDomain, kNoteStorePath, noteStoreDatabase(system), error)) &&
         b.addDatabase(kWhatsAppGroup, "ChatStorage.sqlite", whatsAppDatabase(system), error);
}

}  // namespace fq::builder

#include "tools/backupbuilder/DemoPhoneData.h"

#include <cstdio>

#include "tools/backupbuilder/NoteStoreDatabase.h"
#include "tools/backupbuilder/PhoneDatabases.h"

namespace fq::builder {
namespace {

constexpr const char* kHome = "HomeDomain";
constexpr const char* kWhatsAppGroup = "AppDomainGroup-group.net.whatsapp.WhatsApp.shared";

// 2019-03-01 00:00:00 UTC in seconds since 2001-01-01.
constexpr int64_t kMarch2019 = 573091200;
constexpr int64_t kHour = 3600;
constexpr int64_t kDay = 24 * kHour;

std::string guid(int n) {
  char text[40];
  std::snprintf(text, sizeof text, "6F1C2A9E-41B7-4D0A-9C3E-%012X", n);
  return text;
}

SqliteRecipe smsDatabase() {
  constexpr auto layout = MessageLayout::Nanoseconds51;
  const std::string account = "0A1B2C3D-4E5F-4061-8273-94A5B6C7D8E9";
  SqliteRecipe spec;
  spec.statements = CreateMessageTables(layout);
  auto& s = spec.statements;
  s.push_back(InsertHandle(1, "+15550104477"));
  s.push_back(InsertHandle(2, "+15550109876"));
  s.push_back(InsertHandle(3, "alex.rivers@example.com"));
  s.push_back(InsertHandle(4, "+15550107711"));
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
      {2, kMarch2019 + 2 * kDay + 18 * kHour + 900, true, "Sent it to your email, it's the one from Tuesday."},
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
    s.push_back(InsertMessage(layout, m));
  }
  s.push_back(InsertAttachment(1, guid(101), "~/Library/SMS/Attachments/3f/15/8C2E1B7A-5D44-4F0B-9E1A-2B7C6D5E4F30/IMG_0300.jpeg"));
  s.push_back(InsertAttachment(2, guid(102), "~/Library/SMS/Attachments/a0/00/0D6F4C2A-1B3E-4A5D-8C7B-6E5F4A3B2C1D/image"));
  s.push_back(InsertAttachmentLink(3, 1));
  s.push_back(InsertAttachmentLink(7, 2));
  // Deleted on the phone: the budget request, the spare-key thread and its picture.
  spec.deletions = {"DELETE FROM message WHERE ROWID IN (4, 7, 8)", "DELETE FROM attachment WHERE ROWID = 2",
                    "DELETE FROM message_attachment_join WHERE message_id = 7"};
  return spec;
}

SqliteRecipe addressBookDatabase() {
  constexpr auto layout = ContactLayout::Columns26;
  SqliteRecipe spec;
  spec.statements = {CreateContactTable(layout)};
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
  spec.statements.push_back(InsertContact(layout, contact(1, "Mia", "Chen", PhoneSpellings("5550104477"),
                                                          std::string("mia.chen@example.com"))));
  spec.statements.push_back(InsertContact(layout, contact(2, "Sam", "Ortiz", PhoneSpellings("5550109876"), {})));
  ContactRow cafe = contact(3, nullptr, nullptr, PhoneSpellings("5550142200"), {});
  cafe.organization = "Harbour Cafe";
  cafe.address = "12 Quay Street Portside ";
  cafe.url = "http://harbourcafe.example.com";
  spec.statements.push_back(InsertContact(layout, cafe));
  spec.statements.push_back(
      InsertContact(layout, contact(4, "Alex", "Rivers", std::nullopt, std::string("alex.rivers@example.com"))));
  spec.statements.push_back(InsertContact(layout, contact(5, "Jordan", "Blake", PhoneSpellings("5550107711"), {})));
  spec.statements.push_back(InsertContact(layout, contact(6, "Dr. Priya", "Natarajan", PhoneSpellings("5550163300"),
                                                          std::string("priya@clinic.example.com"))));
  // Deleted on the phone: Jordan.
  spec.deletions = {"DELETE FROM ABPersonFullTextSearch_content WHERE docid = 5"};
  return spec;
}

SqliteRecipe callHistoryDatabase() {
  constexpr bool newer = true;
  SqliteRecipe spec;
  spec.statements = {CreateCallRecordTable(newer)};
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
    row.duration = c.duration;
    row.number = c.number;
    spec.statements.push_back(InsertCallRecord(newer, row));
  }
  spec.deletions = {"DELETE FROM ZCALLRECORD WHERE Z_PK IN (2, 5)"};
  return spec;
}

SqliteRecipe notesDatabase() {
  SqliteRecipe spec;
  spec.statements = CreateNoteTables();
  auto& s = spec.statements;
  const double base = kMarch2019 + 0.5;
  s.push_back(InsertNoteBody(1, 1, "<div>Shopping</div><div>eggs &amp; bread</div><div>olive oil</div>"));
  s.push_back(InsertNote(1, 1, base + 10 * kHour, "Shopping"));
  s.push_back(InsertNoteBody(2, 2, "Gate code 4417<br>Wi-Fi: harbour&nbsp;guest"));
  s.push_back(InsertNote(2, 2, base + kDay + 14 * kHour, "Gate code"));
  s.push_back(InsertNoteBody(3, 3, "<div>Ideas for Mum&#39;s birthday</div><div>&quot;a day out&quot; &lt;boat&gt;</div>"));
  s.push_back(InsertNote(3, 3, base + 3 * kDay + 19 * kHour, "Birthday ideas"));
  s.push_back(InsertNoteBody(4, 4, "<div>Account 5521-0093</div><div>PIN hint: the old street</div>"));
  s.push_back(InsertNote(4, 4, base + 4 * kDay + 22 * kHour, "Bank"));
  // Deleted on the phone: the whole bank note.
  spec.deletions = {"DELETE FROM ZNOTE WHERE Z_PK = 4", "DELETE FROM ZNOTEBODY WHERE Z_PK = 4"};
  return spec;
}

// The notes store of a newer phone, beside the legacy notes database.
SqliteRecipe noteStoreDatabase() {
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
  return NoteStoreDatabase(notes, {23});
}

SqliteRecipe whatsAppDatabase() {
  constexpr auto layout = WhatsAppLayout::Newer34;
  SqliteRecipe spec;
  spec.statements = CreateWhatsAppTables(layout);
  auto& s = spec.statements;
  s.push_back(InsertWhatsAppChat(1, std::string("15550104477@s.whatsapp.net"), std::string("Mia Chen")));
  s.push_back(InsertWhatsAppChat(2, std::string("120363000000000001@g.us"), std::string("Harbour Walk")));
  s.push_back(InsertWhatsAppMember(1, 2, std::string("Mia Chen"), std::string("15550104477@s.whatsapp.net")));
  s.push_back(InsertWhatsAppMember(2, 2, std::string("Sam Ortiz"), std::string("15550109876@s.whatsapp.net")));
  s.push_back(InsertWhatsAppMember(3, 2, std::string("Alex Rivers"), std::string("15550102233@s.whatsapp.net")));
  s.push_back(InsertWhatsAppMedia(1, std::string("Media/15550104477@s.whatsapp.net/2/7/27a1c0de-photo.jpg")));
  s.push_back(InsertWhatsAppMedia(2, std::string("Media/15550104477@s.whatsapp.net/3/1/31b2d0ef-video.mp4")));
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
    s.push_back(InsertWhatsAppMessage(layout, row));
  }
  spec.deletions = {"DELETE FROM ZWAMESSAGE WHERE Z_PK IN (7, 8)", "DELETE FROM ZWAGROUPMEMBER WHERE Z_PK = 3"};
  return spec;
}

}  // namespace

bool AddDemoPhoneDatabases(BackupBuilder& b, std::string* error) {
  return b.addDatabase(kHome, "Library/SMS/sms.db", smsDatabase(), error) &&
         b.addDatabase(kHome, "Library/AddressBook/AddressBook.sqlitedb", addressBookDatabase(), error) &&
         b.addDatabase(kHome, "Library/CallHistoryDB/CallHistory.storedata", callHistoryDatabase(), error) &&
         b.addDatabase(kHome, "Library/Notes/notes.sqlite", notesDatabase(), error) &&
         b.addDatabase(kNoteStoreDomain, kNoteStorePath, noteStoreDatabase(), error) &&
         b.addDatabase(kWhatsAppGroup, "ChatStorage.sqlite", whatsAppDatabase(), error);
}

}  // namespace fq::builder

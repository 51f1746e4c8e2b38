#include "tools/bigbackup/BigBackup.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "tools/backupbuilder/MediaSamples.h"
#include "tools/backupbuilder/NoteStoreDatabase.h"
#include "tools/backupbuilder/PhoneDatabases.h"
#include "tools/backupbuilder/RealPhoneLayouts.h"
#include "tools/decrypt/EncryptedBackupWriter.h"

namespace fq::builder {
namespace {

constexpr const char* kHome = "HomeDomain";
constexpr const char* kCameraRoll = "CameraRollDomain";
constexpr const char* kMedia = "MediaDomain";
constexpr const char* kWhatsAppGroup = "AppDomainGroup-group.net.whatsapp.WhatsApp.shared";

// 2016-01-01 00:00:00 UTC in seconds since 2001-01-01; rows spread over three years.
constexpr int64_t kStart = 473385600;
constexpr int64_t kSpan = 3 * 365 * 86400;

// A fifth of every table's rows, spread evenly over its pages.
std::string deleteEveryFifth(const char* table) {
  return std::string("DELETE FROM ") + table + " WHERE rowid % 5 = 0";
}

std::string printf36(const char* prefix, int64_t n) {
  char text[48];
  std::snprintf(text, sizeof text, "%s-%012llX", prefix, static_cast<unsigned long long>(n));
  return text;
}

std::string tenDigits(int64_t n) {
  char text[16];
  std::snprintf(text, sizeof text, "555%07lld", static_cast<long long>(n % 10000000));
  return text;
}

// Message texts of ordinary lengths, varied so pages do not compress to nothing.
std::string sentence(int64_t n) {
  static constexpr std::array<const char*, 8> kPhrases = {
      "See you at the ferry steps at ten", "Can you send me the budget sheet again?",
      "Running a little late, sorry",      "The spare key is under the blue flowerpot",
      "Lunch on Thursday? My treat",       "Photos from the walk are up on the shared album",
      "Did you get home okay last night?", "Please call me back when you are free",
  };
  std::string text = kPhrases[static_cast<size_t>(n) % kPhrases.size()];
  text += " (" + std::to_string(n) + ")";
  if (n % 3 == 0) text += ", and " + std::string(kPhrases[static_cast<size_t>(n / 3) % kPhrases.size()]);
  return text;
}

int64_t spreadOver(int64_t i, int64_t count) { return kStart + (count > 0 ? i * (kSpan / count) : 0); }

SqliteRecipe smsDatabase(const BigBackupScale& scale, int64_t attachmentCount) {
  constexpr auto layout = MessageLayout::Nanoseconds51;
  SqliteRecipe r;
  const auto& system = scale.system;
  r.statements = system ? RealMessageTables(*system) : CreateMessageTables(layout);
  const int64_t handles = std::max<int64_t>(1, scale.messages / 400);
  for (int64_t h = 1; h <= handles; ++h) {
    const std::string address = "+1" + tenDigits(h);
    r.statements.push_back(system ? RealInsertHandle(*system, h, address) : InsertHandle(h, address));
  }
  for (int64_t i = 1; i <= scale.messages; ++i) {
    MessageRow m;
    m.rowId = i;
    m.guid = printf36("6F1C2A9E-41B7-4D0A-9C3E", i);
    m.text = sentence(i);
    m.handleRowId = 1 + i % handles;
    m.accountGuid = "0A1B2C3D-4E5F-4061-8273-94A5B6C7D8E9";
    m.appleSeconds = spreadOver(i, scale.messages);
    m.fromMe = i % 2 == 0;
    r.statements.push_back(system ? RealInsertMessage(*system, m) : InsertMessage(layout, m));
  }
  for (int64_t a = 1; a <= attachmentCount; ++a) {
    const std::string guid = printf36("8C2E1B7A-5D44-4F0B-9E1A", a);
    const std::string name = "~/Library/SMS/Attachments/" + printf36("A", a) + "/IMG.jpeg";
    r.statements.push_back(system ? RealInsertAttachment(*system, a, guid, name)
                                  : InsertAttachment(a, guid, name));
    r.statements.push_back(system ? RealInsertAttachmentLink(a * 50, a) : InsertAttachmentLink(a * 50, a));
  }
  r.deletions = {deleteEveryFifth("message"), deleteEveryFifth("handle"), deleteEveryFifth("attachment"),
                 deleteEveryFifth("message_attachment_join")};
  return r;
}

SqliteRecipe addressBookDatabase(const BigBackupScale& scale) {
  constexpr auto layout = ContactLayout::Columns26;
  SqliteRecipe r;
  const auto& system = scale.system;
  r.statements = system ? RealContactTables(*system) : std::vector<std::string>{CreateContactTable(layout)};
  for (int64_t i = 1; i <= scale.contacts(); ++i) {
    ContactRow c;
    c.rowId = i;
    c.first = "First" + std::to_string(i);
    c.last = "Last" + std::to_string(i * 7919 % 100003);
    c.phone = PhoneSpellings(tenDigits(i));
    if (i % 2) c.email = "person" + std::to_string(i) + "@example.com";
    if (!system) {
      r.statements.push_back(InsertContact(layout, c));
      continue;
    }
    const std::string digits = tenDigits(i);
    const std::string shown = "(" + digits.substr(0, 3) + ") " + digits.substr(3, 3) + "-" + digits.substr(6);
    for (std::string& statement : RealInsertContact(*system, c, {shown}))
      r.statements.push_back(std::move(statement));
  }
  r.deletions = {deleteEveryFifth("ABPersonFullTextSearch_content")};
  if (system) {
    r.deletions.push_back(deleteEveryFifth("ABPerson"));
    r.deletions.push_back("DELETE FROM ABMultiValue WHERE record_id % 5 = 0");
  }
  return r;
}

SqliteRecipe callHistoryDatabase(const BigBackupScale& scale) {
  SqliteRecipe r;
  const auto& system = scale.system;
  r.statements = {system ? RealCallTable(*system) : CreateCallRecordTable(true)};
  for (int64_t i = 1; i <= scale.calls(); ++i) {
    CallRow c;
    c.rowId = i;
    c.originated = i % 3 == 0;
    c.appleSeconds = static_cast<double>(spreadOver(i, scale.calls())) + 0.5;
    c.unixSeconds = spreadOver(i, scale.calls()) + 978307200;
    c.duration = static_cast<double>(i % 600);
    c.number = "+1" + tenDigits(i * 31);
    r.statements.push_back(system ? RealInsertCall(*system, c) : InsertCallRecord(true, c));
  }
  r.deletions = {deleteEveryFifth(system && UsesOlderCallTable(*system) ? "call" : "ZCALLRECORD")};
  return r;
}

SqliteRecipe notesDatabase(const BigBackupScale& scale) {
  SqliteRecipe r;
  const bool real = scale.system.has_value();
  r.statements = real ? RealNoteTables() : CreateNoteTables();
  for (int64_t i = 1; i <= scale.notes(); ++i) {
    const std::string body = "<div>" + sentence(i) + "</div><div>" + sentence(i + 1) + "</div>";
    const double when = static_cast<double>(spreadOver(i, scale.notes())) + 0.5;
    const std::string title = "Note " + std::to_string(i);
    r.statements.push_back(real ? RealInsertNoteBody(i, i, body) : InsertNoteBody(i, i, body));
    r.statements.push_back(real ? RealInsertNote(i, i, when, title) : InsertNote(i, i, when, title));
  }
  r.deletions = {deleteEveryFifth("ZNOTE"), deleteEveryFifth("ZNOTEBODY")};
  return r;
}

// The notes store of a phone since iOS 9: every seventh note locked, every
// fifth purged.
SqliteRecipe noteStoreDatabase(const BigBackupScale& scale) {
  std::vector<NoteStoreNote> notes;
  std::vector<int64_t> purged;
  for (int64_t i = 1; i <= scale.notes(); ++i) {
    NoteStoreNote n;
    n.rowId = 10 + i;
    n.dataRowId = i;
    n.title = "Note " + std::to_string(i);
    n.modifiedAppleSeconds = static_cast<double>(spreadOver(i, scale.notes())) + 0.5;
    n.text = *n.title + "\n" + sentence(i) + "\n" + sentence(i + 1);
    n.locked = i % 7 == 0;
    notes.push_back(std::move(n));
    if (i % 5 == 0) purged.push_back(10 + i);
  }
  return NoteStoreDatabase(notes, purged, scale.system);
}

SqliteRecipe whatsAppDatabase(const BigBackupScale& scale) {
  constexpr auto layout = WhatsAppLayout::Newer34;
  SqliteRecipe r;
  const auto& system = scale.system;
  r.statements = system ? RealWhatsAppTables(*system) : CreateWhatsAppTables(layout);
  const int64_t chats = std::max<int64_t>(1, scale.whatsAppMessages() / 500);
  for (int64_t c = 1; c <= chats; ++c) {
    const std::string jid = "1" + tenDigits(c) + "@s.whatsapp.net";
    const std::string chat = "Chat " + std::to_string(c);
    const std::string member = "Member " + std::to_string(c);
    r.statements.push_back(system ? RealInsertWhatsAppChat(c, jid, chat) : InsertWhatsAppChat(c, jid, chat));
    r.statements.push_back(system ? RealInsertWhatsAppMember(c, c, member, jid)
                                  : InsertWhatsAppMember(c, c, member, jid));
  }
  for (int64_t i = 1; i <= scale.whatsAppMessages(); ++i) {
    WhatsAppMessageRow m;
    m.rowId = i;
    m.fromMe = i % 2 == 0;
    m.chatRowId = 1 + i % chats;
    m.appleSeconds = static_cast<double>(spreadOver(i, scale.whatsAppMessages())) + 0.25;
    if (!m.fromMe) m.fromJid = "1" + tenDigits(*m.chatRowId) + "@s.whatsapp.net";
    m.text = sentence(i);
    r.statements.push_back(system ? RealInsertWhatsAppMessage(*system, m, printf36("3EB0", i))
                                  : InsertWhatsAppMessage(layout, m));
  }
  r.deletions = {deleteEveryFifth("ZWAMESSAGE"), deleteEveryFifth("ZWACHATSESSION"),
                 deleteEveryFifth("ZWAGROUPMEMBER")};
  return r;
}

}  // namespace

bool BuildBigBackup(const BigBackupScale& scale, BackupBuilder& b, std::string* error) {
  const int64_t attachments = scale.messages / 50;
  b.addDirectory(kHome, "Library/SMS");
  if (scale.system) b.device().productVersion = ProductVersionOf(*scale.system);
  const bool olderCalls = scale.system && UsesOlderCallTable(*scale.system);
  const bool notes = !scale.system || HasLegacyNotes(*scale.system);
  const bool noteStore = scale.system && HasNoteStore(*scale.system);
  if (!b.addDatabase(kHome, "Library/SMS/sms.db", smsDatabase(scale, attachments), error) ||
      !b.addDatabase(kHome, "Library/AddressBook/AddressBook.sqlitedb", addressBookDatabase(scale), error) ||
      !b.addDatabase(
          olderCalls ? "WirelessDomain" : kHome,
          olderCalls ? "Library/CallHistory/call_history.db" : "Library/CallHistoryDB/CallHistory.storedata",
          callHistoryDatabase(scale), error) ||
      (notes && !b.addDatabase(kHome, "Library/Notes/notes.sqlite", notesDatabase(scale), error)) ||
      (noteStore && !b.addDatabase(kNoteStoreDomain, kNoteStorePath, noteStoreDatabase(scale), error)) ||
      !b.addDatabase(kWhatsAppGroup, "ChatStorage.sqlite", whatsAppDatabase(scale), error))
    return false;

  // Camera roll: a thousand pictures per DCIM folder, every tenth a movie.
  b.addDirectory(kCameraRoll, "Media/DCIM");
  for (int64_t i = 0; i < scale.photos(); ++i) {
    char folder[48];
    std::snprintf(folder, sizeof folder, "Media/DCIM/%lldAPPLE", static_cast<long long>(100 + i / 1000));
    if (i % 1000 == 0) b.addDirectory(kCameraRoll, folder);
    const auto seed = static_cast<uint32_t>(i);
    char name[96];
    if (i % 10 == 9) {
      std::snprintf(name, sizeof name, "%s/IMG_%04lld.MOV", folder, static_cast<long long>(i % 10000));
      b.addFile(kCameraRoll, name, QuickTimeMovie(4096, seed));
    } else {
      std::snprintf(name, sizeof name, "%s/IMG_%04lld.JPG", folder, static_cast<long long>(i % 10000));
      b.addFile(kCameraRoll, name, JpegImage(JpegHeader::Exif, 64, 48, 2048, seed));
    }
  }
  b.addDirectory(kMedia, "Library/SMS/Attachments");
  for (int64_t a = 1; a <= attachments; ++a)
    b.addFile(kMedia, "Library/SMS/Attachments/" + printf36("A", a) + "/IMG.jpeg",
              JpegImage(JpegHeader::Jfif, 24, 24, 1024, static_cast<uint32_t>(a)));

  // The rest of the manifest: applications' own small files, as most of a
  // real manifest is.
  int64_t app = 0;
  while (static_cast<int64_t>(b.records().size()) < scale.manifestEntries()) {
    const std::string domain = "AppDomain-com.example.app" + std::to_string(app / 200);
    if (app % 200 == 0) b.addDirectory(domain, "Library/Caches");
    const std::string line = "cache entry " + std::to_string(app) + "\n";
    b.addFile(domain, "Library/Caches/entry" + std::to_string(app) + ".dat", std::string_view(line));
    ++app;
  }
  return true;
}

bool WriteBigBackup(const std::filesystem::path& folder, const BigBackupScale& scale,
                    const std::string& password, bool phoneIterations, std::string* error) {
  BackupBuilder b;
  if (!BuildBigBackup(scale, b, error)) return false;
  if (password.empty()) return b.write(folder, error);

  std::vector<decrypt::PlainFile> files;
  files.reserve(b.records().size());
  for (const ManifestRecord& r : b.records()) {
    if (!r.content || !r.domain || !r.relativePath) continue;
    files.push_back({*r.domain, *r.relativePath, *r.content, 3, std::nullopt});
  }
  decrypt::EncryptedBackupOptions options;
  options.password = password;
  if (phoneIterations) {
    options.iterations = 10000;
    options.dpIterations = 10000000;
  }
  return decrypt::WriteEncryptedBackup(folder, files, options, error) == 0;
}

}  // namespace fq::builder

// The readers over damaged copies of the demo's phone databases: cut short,
// bytes overwritten, pages zeroed. Each must return (an error or a partial
// list), never crash, and list only clean text.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/categories/CallHistoryReader.h"
#include "engine/categories/ContactsReader.h"
#include "engine/categories/MessagesReader.h"
#include "engine/categories/NotesReader.h"
#include "engine/categories/WhatsAppReader.h"
#include "engine/platform/Text.h"
#include "tests/categories/PhoneFixture.h"
#include "tools/backupbuilder/DemoBackup.h"

namespace fq::test {
namespace {

std::vector<uint8_t> demoDatabase(const builder::BackupBuilder& demo, const std::string& relativePath) {
  for (const auto& record : demo.records()) {
    if (record.relativePath == relativePath && record.content) return *record.content;
  }
  ADD_FAILURE() << "no " << relativePath << " in the demo backup";
  return {};
}

// Damaged variants of `bytes`, each named for the trace.
std::vector<std::pair<std::string, std::vector<uint8_t>>> damagedCopies(const std::vector<uint8_t>& bytes) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> copies;
  for (const size_t cut : {size_t{0}, size_t{50}, size_t{100}, size_t{4096}, bytes.size() / 2, bytes.size() - 1}) {
    if (cut <= bytes.size()) copies.emplace_back("cut at " + std::to_string(cut), std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
  }
  for (const size_t stride : {size_t{7}, size_t{61}, size_t{509}}) {
    auto copy = bytes;
    for (size_t i = 100 + stride; i < copy.size(); i += stride) copy[i] ^= 0xA5;
    copies.emplace_back("every " + std::to_string(stride) + "th byte flipped", std::move(copy));
  }
  for (size_t page = 1; page * 4096 < bytes.size(); ++page) {
    auto copy = bytes;
    std::fill(copy.begin() + static_cast<long>(page * 4096), copy.begin() + static_cast<long>(page * 4096 + 4096), 0xFF);
    copies.emplace_back("page " + std::to_string(page) + " filled with 0xFF", std::move(copy));
  }
  return copies;
}

class DamagedDatabasesTest : public PhoneFixture {
 protected:
  std::filesystem::path put(const std::string& name, const std::vector<uint8_t>& bytes) {
    const auto path = folder() / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
};

TEST_F(DamagedDatabasesTest, ReadersSurviveAndListOnlyCleanText) {
  const builder::BackupBuilder demo = builder::DemoBackup(builder::ManifestFormat::Db);
  const auto sms = demoDatabase(demo, "Library/SMS/sms.db");
  const auto book = demoDatabase(demo, "Library/AddressBook/AddressBook.sqlitedb");
  const auto history = demoDatabase(demo, "Library/CallHistoryDB/CallHistory.storedata");
  const auto notes = demoDatabase(demo, "Library/Notes/notes.sqlite");
  const auto chats = demoDatabase(demo, "ChatStorage.sqlite");
  const auto goodBook = put("good.sqlitedb", book);

  const auto check = [](const std::string& text) { EXPECT_TRUE(text.empty() || IsAcceptedText(text)); };
  for (const auto& [name, bytes] : damagedCopies(sms)) {
    SCOPED_TRACE("sms.db " + name);
    ConversationMap conversations;
    int64_t highest = 20000;
    readMessages(put("sms.db", bytes), goodBook, true, {}, conversations, highest);
    for (const auto& [handle, list] : conversations) {
      for (const auto& m : list) check(m.text);
    }
    writeMessagesCsv(folder() / "sms.db", folder() / "sms.csv", highest);
  }
  for (const auto& [name, bytes] : damagedCopies(book)) {
    SCOPED_TRACE("AddressBook " + name);
    std::vector<ContactRecord> contacts;
    int64_t highest = 20000;
    readContacts(put("book.sqlitedb", bytes), true, contacts, highest);
    for (const auto& c : contacts) check(c.name + c.phone + c.email);
    writeContactsCsv(folder() / "book.sqlitedb", folder() / "Contacts.csv", highest);
  }
  for (const auto& [name, bytes] : damagedCopies(history)) {
    SCOPED_TRACE("CallHistory " + name);
    std::vector<CallRecord> calls;
    readCalls(put("history.storedata", bytes), goodBook, true, calls);
    for (const auto& c : calls) check(c.number);
  }
  for (const auto& [name, bytes] : damagedCopies(notes)) {
    SCOPED_TRACE("notes " + name);
    std::vector<NoteRecord> list;
    readNotes(put("notes.sqlite", bytes), list);
    for (const auto& n : list) check(n.title + n.body);
  }
  for (const auto& [name, bytes] : damagedCopies(chats)) {
    SCOPED_TRACE("ChatStorage " + name);
    WhatsAppChatMap map;
    readWhatsApp(put("ChatStorage.sqlite", bytes), map);
    for (const auto& [chat, list] : map) {
      for (const auto& m : list) check(m.text + m.senderName);
    }
  }
}

}  // namespace
}  // namespace fq::test

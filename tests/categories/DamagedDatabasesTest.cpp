// The readers over damaged copies of the demo's phone databases: cut short,
// bytes overwritten, pages zeroed. Each must return (an error or a partial
// list) with the result code listed for that damage, never crash, and list
// only clean text.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/ResultCodes.h"
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

// Damaged variants of `bytes`, each named by its damage (the same names for
// every database, so that expected results can be listed by name).
std::vector<std::pair<std::string, std::vector<uint8_t>>> damagedCopies(const std::vector<uint8_t>& bytes) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> copies;
  const std::pair<const char*, size_t> cuts[] = {{"empty", 0},
                                                 {"cut to 50 bytes", 50},
                                                 {"cut to 100 bytes", 100},
                                                 {"cut to 4096 bytes", 4096},
                                                 {"cut in half", bytes.size() / 2},
                                                 {"last byte cut", bytes.size() - 1}};
  for (const auto& [name, cut] : cuts) {
    if (cut <= bytes.size())
      copies.emplace_back(name, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
  }
  for (const size_t stride : {size_t{7}, size_t{61}, size_t{509}}) {
    auto copy = bytes;
    for (size_t i = 100 + stride; i < copy.size(); i += stride) copy[i] ^= 0xA5;
    copies.emplace_back("every " + std::to_string(stride) + "th byte flipped", std::move(copy));
  }
  for (size_t page = 1; page * 4096 < bytes.size(); ++page) {
    auto copy = bytes;
    std::fill(copy.begin() + static_cast<long>(page * 4096),
              copy.begin() + static_cast<long>(page * 4096 + 4096), 0xFF);
    copies.emplace_back("page " + std::to_string(page) + " filled with 0xFF", std::move(copy));
  }
  return copies;
}

// The result a reader gives for the copy `name`: listed, or `otherwise`.
int32_t expectedResult(const std::map<std::string, int32_t>& listed, const std::string& name,
                       int32_t otherwise) {
  const auto found = listed.find(name);
  return found == listed.end() ? otherwise : found->second;
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
  // The page reader refuses only a file without the SQLite header (the empty
  // one); from any other copy it reads what it can and answers 0, even from a
  // file cut inside the 100-byte header.
  const std::map<std::string, int32_t> pageReader = {{"empty", kInvalid}};
  // The WhatsApp reader first asks the SQLite library for the message table's
  // columns; the library fails on most damage (and finds no table in an empty
  // file) where the page reader would read on.
  const std::map<std::string, int32_t> whatsApp = {
      {"last byte cut", kOk},
      {"page 2 filled with 0xFF", kOk},
      {"page 3 filled with 0xFF", kOk},
      {"page 4 filled with 0xFF", kOk},
  };
  for (const auto& [name, bytes] : damagedCopies(sms)) {
    SCOPED_TRACE("sms.db " + name);
    ConversationMap conversations;
    int64_t highest = 20000;
    const int32_t expected = expectedResult(pageReader, name, kOk);
    EXPECT_EQ(readMessages(put("sms.db", bytes), goodBook, true, {}, conversations, highest), expected);
    for (const auto& [handle, list] : conversations) {
      for (const auto& m : list) check(m.text);
    }
    EXPECT_EQ(writeMessagesCsv(folder() / "sms.db", folder() / "sms.csv", highest), expected);
  }
  for (const auto& [name, bytes] : damagedCopies(book)) {
    SCOPED_TRACE("AddressBook " + name);
    std::vector<ContactRecord> contacts;
    int64_t highest = 20000;
    const int32_t expected = expectedResult(pageReader, name, kOk);
    EXPECT_EQ(readContacts(put("book.sqlitedb", bytes), true, contacts, highest), expected);
    for (const auto& c : contacts) check(c.name + c.phone + c.email);
    EXPECT_EQ(writeContactsCsv(folder() / "book.sqlitedb", folder() / "Contacts.csv", highest), expected);
  }
  for (const auto& [name, bytes] : damagedCopies(history)) {
    SCOPED_TRACE("CallHistory " + name);
    std::vector<CallRecord> calls;
    EXPECT_EQ(readCalls(put("history.storedata", bytes), goodBook, true, calls),
              expectedResult(pageReader, name, kOk));
    for (const auto& c : calls) check(c.number);
  }
  for (const auto& [name, bytes] : damagedCopies(notes)) {
    SCOPED_TRACE("notes " + name);
    std::vector<NoteRecord> list;
    EXPECT_EQ(readNotes(put("notes.sqlite", bytes), list), expectedResult(pageReader, name, kOk));
    for (const auto& n : list) check(n.title + n.body);
  }
  for (const auto& [name, bytes] : damagedCopies(chats)) {
    SCOPED_TRACE("ChatStorage " + name);
    WhatsAppChatMap map;
    EXPECT_EQ(readWhatsApp(put("ChatStorage.sqlite", bytes), map),
              expectedResult(whatsApp, name, kQueryFailed));
    for (const auto& [chat, list] : map) {
      for (const auto& m : list) check(m.text + m.senderName);
    }
  }
}

}  // namespace
}  // namespace fq::test

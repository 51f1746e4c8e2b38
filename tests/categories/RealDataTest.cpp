// Databases of real phones (nobody here wrote them) read by our readers and
// compared with what the SQLite library returns for the same file. Skipped
// when the shared corpora are absent.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/categories/ContactsReader.h"
#include "engine/categories/WhatsAppReader.h"
#include "engine/sqlite/DatabaseCheck.h"
#include "engine/sqlite/ReadOnlyDatabase.h"
#include "tests/categories/PhoneFixture.h"

namespace fq::test {
namespace {

const std::filesystem::path kRealData = std::filesystem::path(FERNQUILL_SHARED_DIR) / "corpora" / "ios-real";

// Every row of `sql`, each column as text (nullopt for NULL).
using Row = std::vector<std::optional<std::string>>;
std::vector<Row> query(const std::filesystem::path& path, const std::string& sql) {
  ReadOnlyDatabase db(path);
  EXPECT_TRUE(db.ok()) << path;
  std::vector<Row> rows;
  if (!db.ok()) return rows;
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
  while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
    Row row;
    for (int c = 0; c < sqlite3_column_count(statement); ++c) {
      const auto* text = sqlite3_column_text(statement, c);
      if (text == nullptr) {
        row.emplace_back();
      } else {
        row.emplace_back(
            std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(statement, c)));
      }
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(statement);
  return rows;
}

std::string userPart(const std::string& jid) { return jid.substr(0, jid.find('@')); }

class RealDataTest : public ::testing::Test {
 protected:
  // The phones' own zone; dates must agree with the C library's in any zone.
  ScopedTimeZone m_zone{"America/New_York"};
};

// A phone's intact database is never reported damaged: whatever the page
// walk calls a skipped part, the library's own integrity check agrees is whole.
TEST_F(RealDataTest, IntactDatabasesAreNotReportedDamaged) {
  size_t checked = 0;
  for (const char* file : {"whatsapp-ios15/ChatStorage.sqlite", "addressbook-ios15/AddressBook.sqlitedb",
                           "notestore-ios17/NoteStore.sqlite"}) {
    const auto path = kRealData / file;
    if (!std::filesystem::exists(path)) continue;
    ++checked;
    ASSERT_EQ(query(path, "PRAGMA integrity_check"), (std::vector<Row>{{std::string("ok")}})) << file;
    const DatabaseCheck check = CheckDatabaseFile(path);
    EXPECT_EQ(check.openResult, 0) << file;
    EXPECT_EQ(check.damage, "") << file;
  }
  if (checked == 0) GTEST_SKIP() << "no databases under " << kRealData;
}

TEST_F(RealDataTest, WhatsAppMessagesAgreeWithTheLibrary) {
  const auto path = kRealData / "whatsapp-ios15" / "ChatStorage.sqlite";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "no " << path;

  WhatsAppChatMap chats;
  ASSERT_EQ(readWhatsApp(path, chats), 0);
  std::vector<WhatsAppMessageRecord> listed;
  for (const auto& [chat, messages] : chats) listed.insert(listed.end(), messages.begin(), messages.end());

  std::map<std::string, std::pair<std::string, std::string>> partners;  // chat -> (name, phone)
  for (const Row& r : query(path, "SELECT Z_PK, ZPARTNERNAME, ZCONTACTJID FROM ZWACHATSESSION")) {
    const std::string jid = r[2].value_or("");
    partners[*r[0]] = {r[1].value_or(""), jid.find('@') != std::string::npos ? userPart(jid) : ""};
  }
  std::map<std::string, std::pair<std::string, std::string>> members;  // member -> (name, phone)
  for (const Row& r : query(path, "SELECT Z_PK, ZCONTACTNAME, ZMEMBERJID FROM ZWAGROUPMEMBER")) {
    members[*r[0]] = {r[1].value_or(""), userPart(r[2].value_or(""))};
  }

  const auto rows =
      query(path,
            "SELECT Z_PK, ZTEXT, ZCHATSESSION, ZISFROMME, ZGROUPMEMBER, CAST(ZMESSAGEDATE AS INTEGER) "
            "FROM ZWAMESSAGE WHERE ZTEXT IS NOT NULL AND ZTEXT <> ''");
  ASSERT_EQ(rows.size(), 15u);
  for (const Row& r : rows) {
    SCOPED_TRACE("Z_PK " + *r[0]);
    const WhatsAppMessageRecord* found = nullptr;
    for (const auto& m : listed) {
      if (std::to_string(m.rowId) == *r[0]) found = &m;
    }
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->deleted, 0);
    EXPECT_EQ(found->text, *r[1]);
    EXPECT_EQ(std::to_string(found->chatRowId), *r[2]);
    EXPECT_EQ(found->date, LocalDateOfAppleSeconds(std::stoll(*r[5])));
    const auto& partner = partners.at(*r[2]);
    EXPECT_EQ(found->partnerName, partner.first);
    if (*r[3] == "1") {
      EXPECT_EQ(found->senderName, "Me");
      EXPECT_EQ(found->senderPhone, "");
    } else if (r[4] && std::stoll(*r[4]) >= 1) {
      EXPECT_EQ(found->senderName, members.at(*r[4]).first);
      EXPECT_EQ(found->senderPhone, members.at(*r[4]).second);
    } else {
      EXPECT_EQ(found->senderName, partner.first);
      EXPECT_EQ(found->senderPhone, partner.second);
    }
  }
  // Two rows without text show a picture: the path of their media item
  // (ZMEDIALOCALPATH, column 15 here) stands in for the text.
  const std::map<int32_t, std::string> media = {
      {21, "Media/19198887386@s.whatsapp.net/d/0/d041d159-fd7d-4abb-9192-0e97c10ddb00.jpg"},
      {23, "Media/19198887386@s.whatsapp.net/0/7/074dc9c5-d1e2-418b-8bcc-8c4ed1f67f7e.jpg"}};
  for (const auto& [rowId, path] : media) {
    const auto found = std::find_if(listed.begin(), listed.end(),
                                    [rowId](const WhatsAppMessageRecord& m) { return m.rowId == rowId; });
    ASSERT_NE(found, listed.end()) << rowId;
    EXPECT_EQ(found->text, path);
    EXPECT_EQ(found->deleted, 0);
  }
  for (const auto& m : listed) EXPECT_FALSE(m.text.empty());
  size_t live = 0;
  for (const auto& m : listed) live += m.deleted == 0;
  EXPECT_EQ(live, rows.size() + media.size());
}

TEST_F(RealDataTest, AddressBookContactsAgreeWithTheLibrary) {
  const auto path = kRealData / "addressbook-ios15" / "AddressBook.sqlitedb";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "no " << path;

  std::vector<ContactRecord> contacts;
  int64_t highest = 20000;
  ASSERT_EQ(readContacts(path, true, contacts, highest), 0);
  EXPECT_EQ(highest, 9);

  // The phone stores every number in several spellings ("(919) 888-7386
  // +19198887386 ... 8887386 "); the list shows each number once, whole, as
  // the phone spelled it first, as read off the stored text by hand.
  const std::map<std::string, std::string> phoneOfRow = {
      {"1", "(919) 888-7386"},    {"2", "1-800-MY-APPLE"},
      {"5", "+1 (919) 208-4530"}, {"7", "(919) 579-0479\n(919) 391-2507"},
      {"8", "(919) 802-7080"},    {"9", "(919) 888-7386"},
  };
  std::vector<ContactRecord> expected;
  for (const Row& r : query(path,
                            "SELECT c0First, c1Last, c6Organization, c16Phone, c17Email, c18Address, "
                            "c19SocialProfile, c20URL, rowid FROM ABPersonFullTextSearch_content")) {
    // Contacts without any phone text are dropped.
    if (!r[3] || r[3]->empty()) {
      EXPECT_EQ(phoneOfRow.count(r[8].value_or("")), 0u) << "row " << r[8].value_or("") << " has no phone";
      continue;
    }
    ContactRecord c;
    const std::string first = r[0].value_or("");
    const std::string last = r[1].value_or("");
    c.name = first.empty() || last.empty() ? first + last : first + " " + last;
    if (c.name.empty()) c.name = "No Name";
    c.company = r[2].value_or("");
    const auto phone = phoneOfRow.find(r[8].value_or(""));
    ASSERT_NE(phone, phoneOfRow.end()) << "row " << r[8].value_or("") << " has a phone: " << *r[3];
    c.phone = phone->second;
    c.email = r[4].value_or("");
    c.address = r[5].value_or("");
    c.social = r[6].value_or("");
    c.url = r[7].value_or("");
    expected.push_back(c);
  }
  ASSERT_EQ(expected.size(), 6u);
  // Each number whole as the phone shows it, once.
  const auto person = std::find_if(contacts.begin(), contacts.end(),
                                   [](const ContactRecord& c) { return c.name == "This Is DFIR Two"; });
  ASSERT_NE(person, contacts.end());
  EXPECT_EQ(person->phone, "(919) 888-7386");
  std::vector<std::pair<std::string, std::string>> phones;
  for (const ContactRecord& c : contacts) phones.emplace_back(c.name, c.phone);
  EXPECT_EQ(phones, (std::vector<std::pair<std::string, std::string>>{
                        {"Josh Hickman", "(919) 579-0479\n(919) 391-2507"},
                        {"Liz", "+1 (919) 208-4530"},
                        {"No Name", "1-800-MY-APPLE"},
                        {"This Is DFIR Two", "(919) 888-7386"},
                        {"This Is DFIR Two", "(919) 888-7386"},
                        {"Thom De'Fer", "(919) 802-7080"}}));
  for (const ContactRecord& e : expected) {
    const auto same = [&](const ContactRecord& c) { return c.deleted == 0 && c == e; };
    EXPECT_EQ(std::count_if(contacts.begin(), contacts.end(), same),
              std::count(expected.begin(), expected.end(), e))
        << e.name << " / " << e.phone;
  }
  size_t live = 0;
  for (const auto& c : contacts) live += c.deleted == 0;
  EXPECT_EQ(live, expected.size());
}

}  // namespace
}  // namespace fq::test

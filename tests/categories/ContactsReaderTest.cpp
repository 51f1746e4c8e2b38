// The contacts reader: phone spelling clean-up, names, drops, order and the
// column layouts of the content table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "engine/categories/ContactsReader.h"
#include "tests/categories/PhoneFixture.h"

namespace fq::test {
namespace {

using builder::ContactLayout;
using builder::ContactRow;

TEST(CleanPhoneSpellings, KeepsOneSpellingPerNumber) {
  struct Case {
    const char* stored;
    const char* cleaned;
  };
  const Case cases[] = {
      // The phone's own spellings of one number: the first, whole with its area code.
      {"(919) 888-7386 +19198887386 01119198887386 0019198887386 19198887386 9198887386 8887386 ",
       "(919) 888-7386"},
      // A seven-digit number and the same with a country code.
      {"5550123 +15550123 ", "5550123"},
      // Two numbers.
      {"(919) 579-0479 +19195790479 5790479 (919) 391-2507 +19193912507 3912507 ",
       "(919) 579-0479\n(919) 391-2507"},
      // A country code apart from the rest of the number.
      {"+44 20 7946 0018 +442079460018 00442079460018 ", "+44 20 7946 0018"},
      // Letters dial as their keypad digits.
      {"1-800-MY-APPLE +18006927753 18006927753 6927753 ", "1-800-MY-APPLE"},
      // Only a token followed by a space counts; short numbers never do.
      {"+19198887386", ""},
      {"5550123 5559999", "5550123"},
      {"911 112 ", ""},
      {"611 5551234567 +15551234567 ", "5551234567"},
      {"", ""},
      // Different numbers that end alike stay apart; the same number twice is listed once.
      {"5551234 6661299 5559934 ", "5551234\n6661299\n5559934"},
      {"(919) 888-7386 9198887386 5550123 919-888-7386 ", "(919) 888-7386\n5550123"},
  };
  for (const Case& c : cases) EXPECT_EQ(CleanPhoneSpellings(c.stored), c.cleaned) << c.stored;
}

class ContactsReaderTest : public PhoneFixture {
 protected:
  std::vector<ContactRecord> read(ContactLayout layout, const std::vector<ContactRow>& rows, bool newerThan11,
                                  int32_t* result = nullptr, int64_t* highest = nullptr) {
    std::vector<std::string> statements = {builder::CreateContactTable(layout)};
    for (const ContactRow& row : rows) statements.push_back(builder::InsertContact(layout, row));
    std::vector<ContactRecord> contacts;
    int64_t h = 20000;
    const int32_t r =
        readContacts(writeDatabase("AddressBook.sqlitedb", statements), newerThan11, contacts, h);
    if (result) *result = r;
    if (highest) *highest = h;
    return contacts;
  }
};

ContactRow row(int64_t id, std::optional<std::string> first, std::optional<std::string> last,
               std::optional<std::string> phone) {
  ContactRow c;
  c.rowId = id;
  c.first = std::move(first);
  c.last = std::move(last);
  c.phone = std::move(phone);
  return c;
}

TEST_F(ContactsReaderTest, NamesCleansDropsAndSortsByName) {
  ContactRow company = row(3, std::nullopt, std::nullopt, builder::PhoneSpellings("5550142200"));
  company.organization = "Harbour Cafe";
  company.email = "hello@cafe.example.com";
  company.url = "http://cafe.example.com";
  int32_t result = -1;
  int64_t highest = 0;
  const auto contacts = read(
      ContactLayout::Columns26,
      {row(1, "zoe", "Quinn", "5550101 "), row(2, "Adam", "Baker", builder::PhoneSpellings("5550109876")),
       company, row(4, "Nobody", "Withoutphone", std::nullopt), row(5, "Amy", std::nullopt, "+19198887386"),
       row(9, "adam", "Baker", "5550102 ")},
      true, &result, &highest);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(highest, 9);
  std::vector<std::string> names;
  for (const auto& c : contacts) names.push_back(c.name);
  // Case-insensitive and stable: "Adam Baker" (row 2) before "adam Baker" (row 9).
  EXPECT_THAT(names, ::testing::ElementsAre("Adam Baker", "adam Baker", "Amy", "No Name", "zoe Quinn"));
  EXPECT_EQ(contacts[0].phone, "(555) 010-9876");
  EXPECT_EQ(contacts[2].phone, "");  // no space: nothing examined, but the contact stays
  const ContactRecord& cafe = contacts[3];
  EXPECT_EQ(cafe.company, "Harbour Cafe");
  EXPECT_EQ(cafe.email, "hello@cafe.example.com");
  EXPECT_EQ(cafe.url, "http://cafe.example.com");
  EXPECT_EQ(cafe.phone, "(555) 014-2200");
  for (const auto& c : contacts) EXPECT_EQ(c.deleted, 0);
}

TEST_F(ContactsReaderTest, ThePhoneColumnFollowsTheNewerThan11Flag) {
  struct Case {
    ContactLayout layout;
    bool newerThan11;
  };
  for (const Case c : {Case{ContactLayout::Columns24, false}, Case{ContactLayout::Columns25, false},
                       Case{ContactLayout::Columns26, true}}) {
    ContactRow full = row(1, "Mia", "Chen", "5550104 ");
    full.email = "mia@example.com";
    full.address = "1 Quay ";
    full.social = "mia.social";
    full.url = "http://mia.example.com";
    const auto contacts = read(c.layout, {full}, c.newerThan11);
    ASSERT_EQ(contacts.size(), 1u);
    EXPECT_EQ(contacts[0].phone, "5550104");
    EXPECT_EQ(contacts[0].email, "mia@example.com");
    EXPECT_EQ(contacts[0].address, "1 Quay ");
    EXPECT_EQ(contacts[0].social, "mia.social");
    EXPECT_EQ(contacts[0].url, "http://mia.example.com");
  }
  // The declaration names the phone column, so a flag that does not fit the
  // table changes nothing.
  const auto unflagged = read(ContactLayout::Columns26, {row(1, "Mia", "Chen", "5550104 ")}, false);
  ASSERT_EQ(unflagged.size(), 1u);
  EXPECT_EQ(unflagged[0].phone, "5550104");
}

TEST_F(ContactsReaderTest, RejectsAPhoneTextWithAControlCharacter) {
  const auto contacts =
      read(ContactLayout::Columns26,
           {row(1, "Line", "Feed", "5550104\n5550105 "), row(2, "Kept", "", "5550106 ")}, true);
  ASSERT_EQ(contacts.size(), 1u);
  EXPECT_EQ(contacts[0].name, "Kept");
}

TEST_F(ContactsReaderTest, AnUnopenableBookReturnsTheErrorAndNoContacts) {
  std::vector<ContactRecord> contacts;
  int64_t highest = 20000;
  EXPECT_NE(readContacts(folder() / "missing.sqlitedb", true, contacts, highest), 0);
  EXPECT_TRUE(contacts.empty());
  std::ofstream(folder() / "garbage.sqlitedb") << std::string(4096, 'x');
  EXPECT_NE(readContacts(folder() / "garbage.sqlitedb", true, contacts, highest), 0);
  EXPECT_TRUE(contacts.empty());
}

}  // namespace
}  // namespace fq::test

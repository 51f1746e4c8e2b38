// The text of a message's attributedBody archive, and messages whose text
// column is empty read through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/categories/AttributedBody.h"
#include "engine/categories/MessagesReader.h"
#include "tests/categories/PhoneFixture.h"
#include "tools/backupbuilder/AttributedBodyArchive.h"

namespace fq::test {
namespace {

using Bytes = std::vector<uint8_t>;
using builder::AttributedBodyArchive;

// `archive` with the bytes from the string's length prefix on replaced by `tail`.
Bytes WithStringAt(const Bytes& archive, const Bytes& tail) {
  const Bytes marker = {0x84, 0x01, '+'};
  const auto at = std::search(archive.begin(), archive.end(), marker.begin(), marker.end());
  Bytes out(archive.begin(), at + static_cast<std::ptrdiff_t>(marker.size()));
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

Bytes Replace(Bytes archive, std::string_view from, std::string_view to) {
  const auto at = std::search(archive.begin(), archive.end(), from.begin(), from.end(),
                              [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
  if (at == archive.end()) return archive;
  const auto offset = at - archive.begin();
  archive.erase(at, at + static_cast<std::ptrdiff_t>(from.size()));
  archive.insert(archive.begin() + offset, to.begin(), to.end());
  return archive;
}

TEST(AttributedBody, TakesTheStringOfTheArchiveAndRefusesDamage) {
  const std::string long300(300, 'x');
  const std::string long40000(40000, 'y');
  const Bytes hello = AttributedBodyArchive("Hello \xF0\x9F\x99\x82");
  Bytes cut = AttributedBodyArchive(long300);
  cut.resize(cut.size() - 200);
  struct Case {
    const char* what;
    Bytes blob;
    std::string text;
  };
  const Case cases[] = {
      {"one-byte length", hello, "Hello \xF0\x9F\x99\x82"},
      {"0x81 and a 16-bit length", AttributedBodyArchive(long300), long300},
      {"0x82 and a 32-bit length", AttributedBodyArchive(long40000), long40000},
      {"0x82 with a small length", WithStringAt(hello, {0x82, 2, 0, 0, 0, 'o', 'k'}), "ok"},
      {"mutable string class", Replace(hello, "\x08NSString", "\x0fNSMutableString"),
       "Hello \xF0\x9F\x99\x82"},
      {"empty string", AttributedBodyArchive(""), ""},
      {"cut inside the string", cut, ""},
      {"length past the end", WithStringAt(hello, {0x05, 'a', 'b'}), ""},
      {"16-bit length cut short", WithStringAt(hello, {0x81, 0x10}), ""},
      {"negative 16-bit length", WithStringAt(hello, {0x81, 0xFF, 0xFF, 'a'}), ""},
      {"negative 32-bit length", WithStringAt(hello, {0x82, 0, 0, 0, 0x80, 'a'}), ""},
      {"another integer marker", WithStringAt(hello, {0x83, 1, 'a'}), ""},
      {"nothing after the type", WithStringAt(hello, {}), ""},
      {"damaged UTF-8", WithStringAt(hello, {0x02, 0xC3, 'a'}), ""},
      {"embedded NUL", WithStringAt(hello, {0x03, 'a', 0, 'b'}), ""},
      {"no header", Replace(hello, "streamtyped", "streamtypeX"), ""},
      {"header not at the start", Bytes{0}, ""},
      {"no string class", Replace(hello, "NSString", "NSStrinG"), ""},
      {"no string type after the class", Replace(hello, "\x84\x01+", "\x84\x01-"), ""},
      {"nothing", Bytes{}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(TextOfAttributedBody(c.blob), c.text) << c.what;
}

TEST(AttributedBody, EveryPrefixOfAnArchiveEndsCleanly) {
  const Bytes archive = AttributedBodyArchive(std::string(200, 'z'));
  for (size_t n = 0; n < archive.size(); ++n) {
    const std::string text = TextOfAttributedBody(std::span(archive.data(), n));
    EXPECT_TRUE(text.empty() || text == std::string(200, 'z')) << n;
  }
}

class AttributedBodyMessagesTest : public PhoneFixture {};

// Rows written since iOS 16 keep their text in attributedBody alone.
TEST_F(AttributedBodyMessagesTest, TakesTheTextFromAttributedBodyWhenTextIsEmpty) {
  for (const auto layout : {builder::MessageLayout::Seconds38, builder::MessageLayout::Nanoseconds51}) {
    auto statements = builder::CreateMessageTables(layout);
    statements.push_back(builder::InsertHandle(1, "+15550104477"));
    const auto row = [](int64_t id, std::optional<std::string> text, Bytes body) {
      builder::MessageRow m;
      m.rowId = id;
      char guid[40];
      std::snprintf(guid, sizeof guid, "11111111-2222-3333-4444-%012lld", static_cast<long long>(id));
      m.guid = guid;
      m.text = std::move(text);
      m.handleRowId = 1;
      m.appleSeconds = 573091200 + id;
      m.attributedBody = std::move(body);
      return m;
    };
    const std::string_view kLost = "lost";
    Bytes damaged = AttributedBodyArchive(kLost);
    damaged.resize(
        static_cast<size_t>(std::search(damaged.begin(), damaged.end(), kLost.begin(), kLost.end()) -
                            damaged.begin()) +
        2);  // cut inside the string
    statements.push_back(
        builder::InsertMessage(layout, row(1, std::nullopt, AttributedBodyArchive("from the archive"))));
    statements.push_back(
        builder::InsertMessage(layout, row(2, "", AttributedBodyArchive("empty text column"))));
    statements.push_back(
        builder::InsertMessage(layout, row(3, "own text", AttributedBodyArchive("not this"))));
    statements.push_back(builder::InsertMessage(layout, row(4, std::nullopt, damaged)));
    statements.push_back(builder::InsertMessage(layout, row(5, std::nullopt, {})));
    ConversationMap conversations;
    int64_t highest = 0;
    ASSERT_EQ(readMessages(writeDatabase("sms.db", statements),
                           writeDatabase("AddressBook.sqlitedb",
                                         {builder::CreateContactTable(builder::ContactLayout::Columns26)}),
                           true, ProgressState{}, conversations, highest),
              0);
    std::vector<std::string> texts;
    for (const auto& m : conversations[1]) texts.push_back(m.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"from the archive", "empty text column", "own text"}))
        << static_cast<int>(layout);
  }
}

}  // namespace
}  // namespace fq::test

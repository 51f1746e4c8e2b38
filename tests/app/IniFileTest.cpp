#include <gtest/gtest.h>

#include <fstream>

#include "app/IniFile.h"
#include "app/MessageFormat.h"
#include "tests/support/TempFolder.h"

namespace fq::app {
namespace {

struct IniCase {
  const char* name;
  std::string text;
  const char* section;
  const char* key;
  const char* expected;
};

TEST(IniFile, ReadsTextsTheWayTranslatorsWriteThem) {
  const std::string longText(20000, 'x');
  const std::vector<IniCase> cases = {
      {"first key wins", "[S]\nk=first\nk=second\n", "S", "k", "first"},
      {"text keeps later equals signs", "[S]\nk=a=b==c\n", "S", "k", "a=b==c"},
      {"byte-order mark", "\xEF\xBB\xBF[S]\nk=v\n", "S", "k", "v"},
      {"CR LF lines", "[S]\r\nk=v\r\nj=w\r\n", "S", "j", "w"},
      {"missing key", "[S]\nk=v\n", "S", "nope", ""},
      {"missing section", "[S]\nk=v\n", "T", "k", ""},
      {"no final line break", "[S]\nk=v", "S", "k", "v"},
      {"empty text", "[S]\nk=\n", "S", "k", ""},
      {"section named twice continues", "[S]\na=1\n[T]\nb=2\n[S]\nc=3\na=9\n", "S", "a", "1"},
      {"key before any section is ignored", "k=v\n[S]\n", "S", "k", ""},
      {"UTF-8 text", "[S]\nk=Schlüssel 鍵\n", "S", "k", "Schlüssel 鍵"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IniFile::Parse(c.text).value(c.section, c.key), c.expected);
  }
  // No length limit: a text longer than any fixed buffer arrives whole.
  EXPECT_EQ(IniFile::Parse("[S]\nk=" + longText + "\n").value("S", "k"), longText);
}

TEST(IniFile, MissingFileIsEmptyAndNotLoaded) {
  const IniFile file = IniFile::Load("/nonexistent/fernquill/config.ini");
  EXPECT_FALSE(file.loaded());
  EXPECT_TRUE(file.sections().empty());
  EXPECT_EQ(file.value("DefaultLanguage", "Default", "English"), "English");
}

TEST(IniFile, KeepsKeyOrderOfTheFile) {
  const IniFile file = IniFile::Parse("[Languages]\nEnglish=English\nDeutsch=Deutsch\nAlone\n");
  const IniSection* s = file.section("Languages");
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->entries.size(), 3u);
  EXPECT_EQ(s->entries[1].first, "Deutsch");
  // A line without "=" is its own name and text.
  EXPECT_EQ(s->entries[2], std::make_pair(std::string("Alone"), std::string("Alone")));
}

TEST(IniFile, SetValueRewritesOnlyItsKey) {
  struct Case {
    const char* name;
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"replace", "; note\n[DefaultLanguage]\nDefault=English\n[Other]\nx=1\n",
       "; note\n[DefaultLanguage]\nDefault=Deutsch\n[Other]\nx=1\n"},
      {"add key to its section", "[DefaultLanguage]\n[Other]\nx=1\n",
       "[DefaultLanguage]\nDefault=Deutsch\n[Other]\nx=1\n"},
      {"add section", "[Other]\nx=1\n", "[Other]\nx=1\n[DefaultLanguage]\nDefault=Deutsch\n"},
      {"empty file", "", "[DefaultLanguage]\nDefault=Deutsch\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SetIniValue(c.before, "DefaultLanguage", "Default", "Deutsch"), c.after);
  }
}

TEST(MessageFormat, TranslatedFormatsNeverReadMissingArguments) {
  struct Case {
    const char* format;
    QStringList args;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"Selected: %s (%d) of %s (%d)", {"1 MB", "3", "9 MB", "20"}, "Selected: 1 MB (3) of 9 MB (20)"},
      {"%s%s%s%n", {"a"}, "a%s%s%n"},
      {"%d%% done", {"40"}, "40% done"},
      {"%x %p %-5s", {"a"}, "%x %p %-5s"},
      {"trailing %", {}, "trailing %"},
      {"%d of %d files", {"1", "2", "3"}, "1 of 2 files"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(FormatMessage(QString::fromUtf8(c.format), c.args), QString::fromUtf8(c.expected));
  }
}

}  // namespace
}  // namespace fq::app

// The notes reader: markup clean-up and the join of note rows with bodies.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/categories/NotesReader.h"
#include "tests/categories/PhoneFixture.h"

namespace fq::test {
namespace {

TEST(PlainNoteText, DecodesEntitiesInOrderAndBreaksLines) {
  struct Case {
    const char* markup;
    const char* plain;
  };
  const Case cases[] = {
      {"&amp;lt;", "&lt;"},  // "&amp;" is decoded last, its result is not decoded again
      {"<div>one</div><div>two</div>", "\none\ntwo"},
      {"a<br>b", "a\nb"},
      {"&#39;x&#39; &quot;y&quot; &lt;z&gt; a&nbsp;b", "'x' \"y\" <z> a b"},
      {"fish &amp; chips", "fish & chips"},
      {"&amp;amp;", "&amp;"},
      {"<DIV>kept</DIV> <b>bold</b>", "<DIV>kept</DIV> <b>bold</b>"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(PlainNoteText(c.markup), c.plain) << c.markup;
}

class NotesReaderTest : public PhoneFixture {};

TEST_F(NotesReaderTest, JoinsBodiesWithTitlesAndKeepsNotesWithoutTheOtherHalf) {
  auto statements = builder::CreateNoteTables();
  const double when = 573091200.5;
  statements.push_back(builder::InsertNoteBody(1, 1, "<div>eggs &amp; bread</div>"));
  statements.push_back(builder::InsertNote(1, 1, when, "Shopping"));
  statements.push_back(builder::InsertNoteBody(2, 0, "orphan body"));           // its note row is gone
  statements.push_back(builder::InsertNote(3, 7, when + 86400, "Title only"));  // body 7 does not exist
  statements.push_back(builder::InsertNote(4, 9, when, std::nullopt));          // nothing at all: dropped
  statements.push_back(builder::InsertNote(5, 0, when, "No body link"));
  std::vector<NoteRecord> notes;
  EXPECT_EQ(readNotes(writeDatabase("notes.sqlite", statements), notes), 0);
  ASSERT_EQ(notes.size(), 4u);
  // Bodies first in reading order, then the note rows left over.
  EXPECT_EQ(notes[0].title, "Shopping");
  EXPECT_EQ(notes[0].body, "\neggs & bread");
  EXPECT_EQ(notes[0].date, "2019-03-01 00:00:00");  // the note row's date
  EXPECT_EQ(notes[0].key, 1);
  EXPECT_EQ(notes[1].title, "");
  EXPECT_EQ(notes[1].body, "orphan body");
  EXPECT_EQ(notes[2].title, "Title only");
  EXPECT_EQ(notes[2].body, "");
  EXPECT_EQ(notes[2].date, LocalDateOfAppleSeconds(573091200 + 86400));
  EXPECT_EQ(notes[3].title, "No body link");
  for (const auto& n : notes) EXPECT_EQ(n.deleted, 0);
}

TEST_F(NotesReaderTest, AnUnopenableDatabaseReturnsTheError) {
  std::vector<NoteRecord> notes;
  EXPECT_NE(readNotes(folder() / "missing.sqlite", notes), 0);
  EXPECT_TRUE(notes.empty());
}

}  // namespace
}  // namespace fq::test

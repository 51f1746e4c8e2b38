// The category readers on the demo phone's data written in the layouts real
// phones use (iOS 8, 13, 14 and 17, and the demo's own): every live record
// with its text, date, number and sender, and the deleted rows carved back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/ProgressState.h"
#include "engine/backup/WellKnownDatabases.h"
#include "engine/categories/CallHistoryReader.h"
#include "engine/categories/ContactsReader.h"
#include "engine/categories/MessagesReader.h"
#include "engine/categories/NoteStoreReader.h"
#include "engine/categories/NotesReader.h"
#include "engine/categories/WhatsAppReader.h"
#include "tests/categories/PhoneFixture.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/DemoBackup.h"
#include "tools/backupbuilder/NoteStoreLayout.h"

namespace fq::test {
namespace {

using builder::PhoneSystem;
using Lines = std::vector<std::string>;

struct LayoutCase {
  const char* name;
  std::optional<PhoneSystem> system;
};

std::string join(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& f : fields) line += (line.empty() ? "" : "|") + f;
  return line;
}

Lines sorted(Lines lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

// What the builder wrote, as the readers must list it (deleted|...).
const Lines kMessages = sorted({
    "0|2019-03-01 09:00:00|+15550104477|Mia Chen|Are we still on for the harbour walk on Saturday?",
    "0|2019-03-01 09:04:00|+15550104477|Mia Chen|Yes! Meet at the ferry steps at 10.",
    "0|2019-03-01 09:10:00|+15550104477|Mia Chen|Perfect. Here is the map I mentioned.",
    "0|2019-03-08 12:00:00|+15550104477|Mia Chen|Running ten minutes late, sorry.",
    "0|2019-03-03 18:15:00|+15550109876|Sam Ortiz|Sent it to your email, it's the one from Tuesday.",
    "0|2019-03-10 15:00:00|+15550109876|Sam Ortiz|Lunch on Thursday? My treat.",
    "0|2019-03-05 08:00:00|alex.rivers@example.com||Your parcel is waiting at the front desk.",
    // The three deleted messages, found in free space.
    "1|2019-03-03 18:00:00|+15550109876|Sam Ortiz|Can you send me the \"final\" budget sheet?",
    "1|2019-03-06 21:00:00|+15550107711|Jordan Blake|The spare key is under the blue flowerpot.",
    "1|2019-03-06 21:02:00|+15550107711|Jordan Blake|Thanks, I'll pick it up tonight.",
});

const Lines kContacts = sorted({
    "0|Dr. Priya Natarajan|(555) 016-3300",
    "0|Mia Chen|(555) 010-4477",
    "0|No Name|(555) 014-2200",
    "0|Sam Ortiz|(555) 010-9876",
    "1|Jordan Blake|(555) 010-7711",
});

const Lines kCalls = sorted({
    "0|1|65|2019-03-01 08:00:00|+15550104477",
    "1|0|12|2019-03-02 17:00:00|+15550109876",
    "0|1|0|2019-03-03 07:00:00|+15550142200",
    "0|0|304|2019-03-04 11:00:00|611",
    "1|1|47|2019-03-06 20:00:00|+15550107711",
    "0|0|0|2019-03-07 09:00:00|+15550163300",
});

const Lines kWhatsApp = sorted({
    "0|2019-03-03 10:00:00|Mia Chen|15550104477|Did you get home okay?",
    "0|2019-03-03 10:01:35|Me||Yes, thanks for the lift!",
    "0|2019-03-03 10:05:00|Mia Chen|15550104477|Media/15550104477@s.whatsapp.net/2/7/27a1c0de-photo.jpg",
    "0|2019-03-06 08:00:00|Me||Media/15550104477@s.whatsapp.net/3/1/31b2d0ef-video.mp4",
    "0|2019-03-04 09:00:00|Sam Ortiz|15550109876|Walk starts at 10 sharp",
    // Member 3 was deleted: the group stands in.
    "0|2019-03-04 09:01:00|Harbour Walk|120363000000000001|I'll bring the flask",
    "0|2019-03-04 09:02:00|Me||Count me in",
    "0|2019-03-06 09:00:00|Mia Chen|15550104477|Photos from the walk are up",
    "1|2019-03-05 20:00:00|Mia Chen|15550104477|Please delete this one after reading",
    "1|2019-03-05 21:00:00|Sam Ortiz|15550109876|Change of plan: meet at the lighthouse",
});

const Lines kNotes = sorted({
    "0|2019-03-01 10:00:00|Shopping|\nShopping\neggs & bread\nolive oil",
    "0|2019-03-02 14:00:00|Gate code|Gate code 4417\nWi-Fi: harbour guest",
    "0|2019-03-04 19:00:00|Birthday ideas|\nIdeas for Mum's birthday\n\"a day out\" <boat>",
    // The deleted note: its body and its note row, each found in free space.
    "1|||\nAccount 5521-0093\nPIN hint: the old street",
    "1|2019-03-05 22:00:00|Bank|",
});

// The notes store of every system since iOS 9 (and the demo's own layout).
const Lines kNoteStoreNotes = sorted({
    "0|2019-03-07 09:00:00|Packing list|Packing list\nswimsuit\ncharger\npassport",
    "0|2019-03-08 08:00:00|Ferry times|Ferry times\n07:40, 09:15, 12:30",
    // Password-protected: the title only.
    "0|2019-03-09 00:00:00|Locked diary|",
});

class PhoneLayoutsTest : public ::testing::TestWithParam<LayoutCase> {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(
        builder::WriteDemoBackup(m_dir.path(), builder::ManifestFormat::Db, &error, GetParam().system))
        << error;
  }
  std::filesystem::path stored(std::string_view fileId) const {
    return m_dir.path() / std::string(fileId.substr(0, 2)) / std::string(fileId);
  }
  bool newerThan11() const { return GetParam().system != PhoneSystem::Ios8; }

  testsupport::TempFolder m_dir;
  ScopedTimeZone m_utc{"UTC"};
};

TEST_P(PhoneLayoutsTest, MessagesListTextDateAddressAndContact) {
  ConversationMap conversations;
  int64_t highest = 0;
  ASSERT_EQ(readMessages(stored(wellknown::kSms), stored(wellknown::kAddressBook), newerThan11(),
                         ProgressState{}, conversations, highest),
            0);
  Lines lines;
  for (const auto& [handle, messages] : conversations) {
    for (const MessageRecord& m : messages) {
      lines.push_back(join({std::to_string(m.deleted), m.date, m.address, m.contactName, m.text}));
    }
  }
  EXPECT_EQ(sorted(lines), kMessages);
}

TEST_P(PhoneLayoutsTest, ContactsListNameAndTheShownNumber) {
  std::vector<ContactRecord> contacts;
  int64_t highest = 0;
  ASSERT_EQ(readContacts(stored(wellknown::kAddressBook), newerThan11(), contacts, highest), 0);
  Lines lines;
  for (const ContactRecord& c : contacts) lines.push_back(join({std::to_string(c.deleted), c.name, c.phone}));
  EXPECT_EQ(sorted(lines), kContacts);
}

TEST_P(PhoneLayoutsTest, CallsListDirectionDurationDateAndNumber) {
  const bool older = GetParam().system == PhoneSystem::Ios8;
  std::vector<CallRecord> calls;
  ASSERT_EQ(readCalls(stored(older ? wellknown::kCallHistoryOld : wellknown::kCallHistory),
                      stored(wellknown::kAddressBook), newerThan11(), calls),
            0);
  Lines lines;
  for (const CallRecord& c : calls) {
    lines.push_back(join({std::to_string(c.deleted), std::to_string(c.incoming), std::to_string(c.duration),
                          c.date, c.number}));
  }
  EXPECT_EQ(sorted(lines), kCalls);
}

TEST_P(PhoneLayoutsTest, WhatsAppListsSenderDateAndTextOrMedia) {
  WhatsAppChatMap chats;
  ASSERT_EQ(readWhatsApp(stored(wellknown::kWhatsAppShared), chats), 0);
  Lines lines;
  for (const auto& [chat, messages] : chats) {
    for (const WhatsAppMessageRecord& m : messages) {
      lines.push_back(join({std::to_string(m.deleted), m.date, m.senderName, m.senderPhone, m.text}));
    }
  }
  EXPECT_EQ(sorted(lines), kWhatsApp);
}

TEST_P(PhoneLayoutsTest, LegacyNotesListTitleDateAndBody) {
  // Later systems keep notes in another store; only iOS 8 (and the demo) write notes.sqlite.
  const auto system = GetParam().system;
  if (system && !builder::HasLegacyNotes(*system)) {
    EXPECT_FALSE(std::filesystem::exists(stored(wellknown::kNotes)));
    return;
  }
  std::vector<NoteRecord> notes;
  ASSERT_EQ(readNotes(stored(wellknown::kNotes), notes), 0);
  Lines lines;
  for (const NoteRecord& n : notes)
    lines.push_back(join({std::to_string(n.deleted), n.date, n.title, n.body}));
  EXPECT_EQ(sorted(lines), kNotes);
}

TEST_P(PhoneLayoutsTest, NoteStoreListsTitleDateAndBody) {
  const auto system = GetParam().system;
  if (system && !builder::HasNoteStore(*system)) {
    EXPECT_FALSE(std::filesystem::exists(stored(wellknown::kNoteStore)));
    return;
  }
  std::vector<NoteRecord> notes;
  ASSERT_EQ(readNoteStore(stored(wellknown::kNoteStore), notes), 0);
  Lines live;
  Lines deleted;
  for (const NoteRecord& n : notes) {
    (n.deleted ? deleted : live).push_back(join({std::to_string(n.deleted), n.date, n.title, n.body}));
  }
  EXPECT_EQ(sorted(live), kNoteStoreNotes);
  // The purged note: its body row comes back from free space, and so does
  // its note row where carving finds it (a carved body row has lost the row
  // id that joins the two); nothing else is listed as deleted.
  const std::string body = "1|||Old quote\nroof repair 2,400";
  EXPECT_NE(std::find(deleted.begin(), deleted.end(), body), deleted.end());
  for (const std::string& line : deleted)
    EXPECT_TRUE(line == body || line == "1|2019-03-10 00:00:00|Old quote|") << line;
}

INSTANTIATE_TEST_SUITE_P(Layouts, PhoneLayoutsTest,
                         ::testing::Values(LayoutCase{"demo", std::nullopt},
                                           LayoutCase{"ios8", PhoneSystem::Ios8},
                                           LayoutCase{"ios13", PhoneSystem::Ios13},
                                           LayoutCase{"ios14", PhoneSystem::Ios14},
                                           LayoutCase{"ios17", PhoneSystem::Ios17}),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

}  // namespace
}  // namespace fq::test

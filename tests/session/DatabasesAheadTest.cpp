// The messages read on the worker and replayed at their step must be the
// messages read at the step: the same reports, and where the callback answers
// nonzero, the same early end (nothing added, the last report still made, the
// highest row id as far as the reader had come).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/BackupDiscovery.h"
#include "engine/backup/WellKnownDatabases.h"
#include "engine/session/BackupStore.h"
#include "engine/session/DatabasesAhead.h"
#include "tests/session/SessionFixtures.h"
#include "tools/backupbuilder/DemoBackup.h"

namespace fq {
namespace {

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

constexpr uint64_t kGiB = 1024ULL * 1024 * 1024;
constexpr int64_t kRowIdBefore = 20000;

// What one read of the messages left behind.
struct MessagesOutcome {
  std::vector<int32_t> reports;
  int32_t result = -1;
  ConversationMap conversations;
  int64_t highestRowId = kRowIdBefore;
  CategoryStatus status;
};

// A callback that records each percent and answers `answer` to the report
// numbered `answerAt` (none when negative), 0 to the others.
ProgressState Progress(MessagesOutcome& outcome, int answerAt, int32_t answer) {
  ProgressState progress;
  progress.current = 23;
  progress.step = 11;
  progress.callback = [&outcome, answerAt, answer](int32_t percent) {
    outcome.reports.push_back(percent);
    return static_cast<int>(outcome.reports.size()) - 1 == answerAt ? answer : kOk;
  };
  return progress;
}

class DatabasesAheadTest : public ::testing::Test {
 protected:
  DatabasesAheadTest()
      : folders(scratch / "appdata",
                DriveSource{[](const fs::path&) -> std::optional<uint64_t> { return 100 * kGiB; }, nullptr}) {
    const fs::path folder = BackupRoot(folders.appDataFolder()) / "demo";
    std::string error;
    EXPECT_TRUE(builder::WriteDemoBackup(folder, builder::ManifestFormat::Db, &error)) << error;
    BackupStore store(folders, BackupRoot(folders.appDataFolder()));
    BackupInfo info;
    EXPECT_EQ(ReadBackupFolder(folder, info), kOk);
    store.SelectBackup(info);
    EXPECT_EQ(store.Open(""), kOk);
    databases.messages = store.StoredFile(wellknown::kSms);
    databases.addressBook = store.StoredFile(wellknown::kAddressBook);
    databases.newerThan11 = info.newerThan11;
    databases.step = 11;
    databases.highestMessageRowId = kRowIdBefore;
  }

  MessagesOutcome readAtTheStep(const RecordDatabases& d, int answerAt, int32_t answer, bool withCallback) {
    MessagesOutcome outcome;
    ProgressState progress = Progress(outcome, answerAt, answer);
    if (!withCallback) progress.callback = nullptr;
    outcome.result = ReadMessagesDatabase(d.messages, d.addressBook, d.newerThan11, progress,
                                          outcome.conversations, outcome.highestRowId, outcome.status);
    return outcome;
  }

  MessagesOutcome readAhead(RecordDatabases d, int answerAt, int32_t answer, bool withCallback) {
    d.reportsProgress = withCallback;
    DatabasesAhead ahead;
    ahead.Start(d);
    std::optional<MessagesRead> read = ahead.TakeMessages();
    EXPECT_TRUE(read.has_value());
    MessagesOutcome outcome;
    if (!read) return outcome;
    ProgressState progress = Progress(outcome, answerAt, answer);
    if (!withCallback) progress.callback = nullptr;
    outcome.result =
        ReplayMessagesRead(*read, progress, outcome.conversations, outcome.highestRowId, outcome.status);
    return outcome;
  }

  ScratchFolder scratch;
  WorkFolders folders;
  RecordDatabases databases;
};

TEST_F(DatabasesAheadTest, AReplayedReadIsTheReadAtTheStep) {
  struct Case {
    const char* name;
    bool missingDatabase;
    bool withCallback;
    int answerAt;  // the report answered nonzero; -1: none
    int32_t answer;
  };
  const Case cases[] = {
      {"read through", false, true, -1, kOk},
      {"no callback", false, false, -1, kOk},
      {"cancelled at the first table", false, true, 0, kCancelled},
      {"cancelled at the second table", false, true, 1, kCancelled},
      {"cancelled at the address book", false, true, 4, kCancelled},
      {"cancelled at the last report", false, true, 5, kCancelled},
      {"another answer", false, true, 2, 77},
      {"missing database", true, true, -1, kOk},
      {"missing database, no callback", true, false, -1, kOk},
      {"missing database, cancelled", true, true, 0, kCancelled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordDatabases d = databases;
    if (c.missingDatabase) d.messages = d.messages.parent_path() / "no-such-database";
    const MessagesOutcome atTheStep = readAtTheStep(d, c.answerAt, c.answer, c.withCallback);
    const MessagesOutcome ahead = readAhead(d, c.answerAt, c.answer, c.withCallback);
    EXPECT_EQ(ahead.reports, atTheStep.reports);
    EXPECT_EQ(ahead.result, atTheStep.result);
    EXPECT_EQ(ahead.conversations, atTheStep.conversations);
    EXPECT_EQ(ahead.highestRowId, atTheStep.highestRowId);
    EXPECT_EQ(ahead.status, atTheStep.status);
    if (!c.missingDatabase && c.answerAt < 0) {
      EXPECT_FALSE(atTheStep.conversations.empty());
    }
  }
}

// A stopped worker, or none, gives nothing: each step reads for itself.
TEST_F(DatabasesAheadTest, NothingIsTakenFromAWorkerStoppedOrNeverStarted) {
  DatabasesAhead never;
  EXPECT_FALSE(never.TakeMessages().has_value());
  EXPECT_FALSE(never.TakeWhatsApp().has_value());

  DatabasesAhead stopped;
  stopped.Start(databases);
  stopped.Stop();
  EXPECT_FALSE(stopped.TakeMessages().has_value());
  EXPECT_FALSE(stopped.TakeContacts().has_value());
  EXPECT_FALSE(stopped.TakeCalls().has_value());
  EXPECT_FALSE(stopped.TakeNotes().has_value());
  EXPECT_FALSE(stopped.TakeWhatsApp().has_value());

  // Each read is given out once.
  DatabasesAhead once;
  once.Start(databases);
  EXPECT_TRUE(once.TakeContacts().has_value());
  EXPECT_FALSE(once.TakeContacts().has_value());
}

}  // namespace
}  // namespace fq

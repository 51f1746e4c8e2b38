#include <gtest/gtest.h>

#include <future>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/session/EventRecorder.h"
#include "engine/session/ScanSession.h"
#include "tests/session/SessionFixtures.h"

namespace fq {
namespace {

using testsupport::FakeRecovery;
using Events = std::vector<EventRecorder::Event>;

class RecordingView : public IScanView {
 public:
  void showScanPage() override { ++pagesShown; }
  void percentChanged(int32_t percent, const ScanResults&) override { percents.push_back(percent); }
  void categoryReady(ScanCategory category, size_t count) override {
    categories.emplace_back(category, count);
  }
  bool hasSelection() const override { return selection; }

  int pagesShown = 0;
  std::vector<int32_t> percents;
  std::vector<std::pair<ScanCategory, size_t>> categories;
  bool selection = false;
};

class ScanSessionTest : public ::testing::Test {
 protected:
  ScanSessionTest() { session.setFirstReportPause(std::chrono::milliseconds(0)); }

  // Starts a scan on a fake the test has set up; the fake stays readable.
  FakeRecovery& start(std::unique_ptr<FakeRecovery> fake) {
    FakeRecovery& ref = *fake;
    EXPECT_TRUE(session.Start(std::move(fake), "pw"));
    return ref;
  }

  EventRecorder events;
  RecordingView view;
  ScanSession session{events, &view};
};

TEST_F(ScanSessionTest, OpenResultDecidesEventsResultAndOutcome) {
  const struct {
    int32_t open;
    Events events;
    int32_t result;
    bool categoriesRun;
    ScanOutcomeKind kind;
    int32_t code;
  } cases[] = {
      {0, {{kMsgCountsChanged, 0}, {kMsgScanEnded, 0}}, 0, true, ScanOutcomeKind::Finished, 0},
      // 2 without a cancel request is errno ENOENT, a failure like any other.
      {kCancelled,
       {{kMsgScanEvent, kScanEventFailed}, {kMsgScanEnded, 0}},
       kCancelled,
       false,
       ScanOutcomeKind::Failed,
       kCancelled},
      // Ends like a cancel, with no message; but nobody asked to cancel, so
      // the outcome is a failure (an unplugged device).
      {kDeviceGaveUp, {{kMsgScanEnded, 0}}, kCancelled, false, ScanOutcomeKind::Failed, kDeviceGaveUp},
      {kWrongPassword,
       {{kMsgScanEvent, kScanEventWrongPassword}},
       kWrongPassword,
       false,
       ScanOutcomeKind::Failed,
       kWrongPassword},
      {kInvalid,
       {{kMsgScanEvent, kScanEventFailed}, {kMsgScanEnded, 0}},
       kCancelled,
       false,
       ScanOutcomeKind::Failed,
       kInvalid},
      {6009,
       {{kMsgScanEvent, kScanEventFailed}, {kMsgScanEnded, 0}},
       kCancelled,
       false,
       ScanOutcomeKind::Failed,
       6009},
  };
  for (const auto& c : cases) {
    events.clear();
    auto fake = std::make_unique<FakeRecovery>();
    fake->openResult = c.open;
    fake->openReports = {};
    FakeRecovery& ran = start(std::move(fake));
    session.Wait();
    EXPECT_EQ(events.events(), c.events) << "Open answered " << c.open;
    EXPECT_EQ(session.result(), c.result) << "Open answered " << c.open;
    EXPECT_TRUE(session.finished());
    EXPECT_EQ(ran.calls.size(), c.categoriesRun ? 10u : 1u) << "Open answered " << c.open;
    const ScanOutcome& outcome = session.outcome();
    EXPECT_EQ(outcome.kind, c.kind) << "Open answered " << c.open;
    EXPECT_EQ(outcome.code, c.code) << "Open answered " << c.open;
    // A failure always says something; the fake has no words of its own, so the code is named.
    if (c.kind == ScanOutcomeKind::Failed) {
      EXPECT_NE(outcome.reason.find(c.open == kWrongPassword ? "password" : std::to_string(c.open)),
                std::string::npos)
          << outcome.reason;
    } else {
      EXPECT_EQ(outcome.reason, "");
    }
  }
}

TEST_F(ScanSessionTest, RunsTheCategoriesInTheirFixedOrder) {
  FakeRecovery& ran = start(std::make_unique<FakeRecovery>());
  session.Wait();
  EXPECT_EQ(ran.calls,
            (std::vector<std::string>{"Open", "ScanPhotos", "ScanMessages", "ScanMessageAttachments",
                                      "ScanContacts", "ScanCallHistory", "ScanNotes", "ScanAppFiles",
                                      "ScanWhatsApp", "ScanWhatsAppAttachments"}));
  std::vector<ScanCategory> handed;
  for (const auto& [category, count] : view.categories) handed.push_back(category);
  EXPECT_EQ(handed, std::vector<ScanCategory>(kScanCategories.begin(), kScanCategories.end()));
}

// Fills Messages and WhatsApp: two conversations with messages and one empty.
class ChatsRecovery : public FakeRecovery {
 public:
  int32_t ScanMessages(ConversationMap& conversations) override {
    MessageRecord live;
    MessageRecord gone;
    gone.deleted = 1;
    conversations[1] = {live, gone};
    conversations[2] = {live};
    conversations[3] = {};
    return FakeRecovery::ScanMessages(conversations);
  }
  int32_t ScanWhatsApp(WhatsAppChatMap& chats) override {
    chats[5] = std::vector<WhatsAppMessageRecord>(3);
    return FakeRecovery::ScanWhatsApp(chats);
  }
};

// Remembers where each handed-over list lay and how long it was, to see that
// the scan leaves it alone afterwards.
class SnapshotView : public IScanView {
 public:
  void categoryReady(ScanCategory category, size_t count) override {
    counts[category] = count;
    if (const auto now = shape(category); now.second != 0) shapes[category] = now;
  }
  std::pair<const void*, size_t> shape(ScanCategory category) const {
    const ScanResults& r = session->results();
    switch (category) {
      case ScanCategory::CameraRoll:
        return {r.cameraRoll.data(), r.cameraRoll.size()};
      case ScanCategory::Messages:
        return {r.conversations.empty() ? nullptr : r.conversations.begin()->second.data(),
                r.conversations.size()};
      case ScanCategory::Contacts:
        return {r.contacts.data(), r.contacts.size()};
      case ScanCategory::WhatsApp:
        return {r.whatsAppChats.empty() ? nullptr : r.whatsAppChats.begin()->second.data(),
                r.whatsAppChats.size()};
      default:
        return {nullptr, 0};
    }
  }
  const ScanSession* session = nullptr;
  std::map<ScanCategory, size_t> counts;
  std::map<ScanCategory, std::pair<const void*, size_t>> shapes;
};

TEST(ScanSessionHandOver, CountsConversationsAndChatsAndLeavesHandedListsAlone) {
  EventRecorder events;
  SnapshotView view;
  ScanSession session(events, &view);
  view.session = &session;
  session.setFirstReportPause(std::chrono::milliseconds(0));
  auto fake = std::make_unique<ChatsRecovery>();
  fake->fillCameraRoll = true;
  fake->fillContacts = true;
  ASSERT_TRUE(session.Start(std::move(fake), ""));
  session.Wait();
  EXPECT_EQ(view.counts[ScanCategory::Messages], 2u);  // not 3 messages, not the empty conversation
  EXPECT_EQ(view.counts[ScanCategory::WhatsApp], 1u);
  EXPECT_EQ(view.counts[ScanCategory::Contacts], 1u);
  // Each list is where and as long as it was when it was handed over.
  for (const auto& [category, shape] : view.shapes)
    EXPECT_EQ(view.shape(category), shape) << CategoryName(category);
  EXPECT_EQ(view.shapes.size(), 4u);
}

TEST_F(ScanSessionTest, StopRunsTheHookWhileItWaitsForTheScan) {
  std::promise<void> inPhotos;
  std::promise<void> asked;
  auto askedDone = asked.get_future();
  auto fake = std::make_unique<FakeRecovery>();
  fake->duringCategory = [&](int order) {
    if (order != 0) return;
    inPhotos.set_value();
    askedDone.wait();
    // Still busy for a while after the answer: Stop must wait at least once.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  };
  int between = 0;
  session.setBetweenWaits([&] {
    ++between;
    EXPECT_FALSE(session.finished());
  });
  start(std::move(fake));
  inPhotos.get_future().wait();
  EXPECT_EQ(session.Stop([&] {
    asked.set_value();
    return kAnswerOk;
  }),
            kAnswerOk);
  EXPECT_TRUE(session.finished());
  EXPECT_GE(between, 1);
}

TEST_F(ScanSessionTest, AFailingCategoryDoesNotStopTheNext) {
  auto fake = std::make_unique<FakeRecovery>();
  fake->categoryResults[1] = kInvalid;  // messages
  fake->categoryResults[8] = kInvalid;  // the last one decides the result
  FakeRecovery& ran = start(std::move(fake));
  session.Wait();
  EXPECT_EQ(ran.calls.size(), 10u);
  EXPECT_EQ(session.result(), kInvalid);
  // The scan still ends for the view, whatever the last category answered.
  ASSERT_FALSE(events.events().empty());
  EXPECT_EQ(events.events().back(), (EventRecorder::Event{kMsgScanEnded, 0}));
}

TEST_F(ScanSessionTest, CancelDuringOpenEndsQuietly) {
  auto fake = std::make_unique<FakeRecovery>();
  fake->openReports = {1};
  fake->duringOpen = [this] { session.Cancel(); };
  FakeRecovery& ran = start(std::move(fake));
  session.Wait();
  EXPECT_EQ(session.result(), kCancelled);
  EXPECT_EQ(events.events(), (Events{{kMsgScanEnded, 0}}));  // no failure message
  EXPECT_EQ(ran.calls.size(), 1u);
  EXPECT_EQ(session.outcome().kind, ScanOutcomeKind::Cancelled);
}

TEST_F(ScanSessionTest, AMissingDatabaseIsNoCancel) {
  auto fake = std::make_unique<FakeRecovery>();
  fake->categoryResults[3] = 2;  // ENOENT from a reader whose database is not in the backup
  fake->fillContacts = true;
  FakeRecovery& ran = start(std::move(fake));
  session.Wait();
  EXPECT_EQ(ran.calls.size(), 10u);
  EXPECT_EQ(session.result(), kOk);
  EXPECT_EQ(session.outcome().kind, ScanOutcomeKind::Finished);
  EXPECT_EQ(session.firstDisplay(), ScanCategory::Contacts);  // its records were still handed over
}

TEST_F(ScanSessionTest, AThrowingOperationFailsLike87) {
  auto opening = std::make_unique<FakeRecovery>();
  opening->openReports = {};
  opening->throwInOpen = true;
  start(std::move(opening));
  session.Wait();
  EXPECT_EQ(session.result(), kCancelled);
  EXPECT_EQ(events.events(), (Events{{kMsgScanEvent, kScanEventFailed}, {kMsgScanEnded, 0}}));

  auto category = std::make_unique<FakeRecovery>();
  category->throwInCategory = 2;
  FakeRecovery& ran = start(std::move(category));
  session.Wait();
  EXPECT_EQ(ran.calls.size(), 10u);  // the next categories still ran
  EXPECT_EQ(session.result(), kOk);
}

TEST_F(ScanSessionTest, CancelDuringACategoryEndsTheSequence) {
  std::promise<void> inContacts;
  std::promise<void> cancelled;
  auto cancelledDone = cancelled.get_future();
  auto fake = std::make_unique<FakeRecovery>();
  fake->fillContacts = true;
  fake->duringCategory = [&](int order) {
    if (order != 3) return;
    inContacts.set_value();
    cancelledDone.wait();
  };
  FakeRecovery& ran = start(std::move(fake));
  inContacts.get_future().wait();
  session.Cancel();
  cancelled.set_value();
  session.Wait();

  EXPECT_EQ(ran.calls.back(), "ScanContacts");
  EXPECT_EQ(session.result(), kCancelled);
  EXPECT_EQ(session.outcome().kind, ScanOutcomeKind::Cancelled);
  EXPECT_EQ(events.events().back(), (EventRecorder::Event{kMsgScanEnded, 0}));
  for (const auto& [category, count] : view.categories) EXPECT_NE(category, ScanCategory::Contacts);
}

TEST_F(ScanSessionTest, PercentShownNeverFallsAndStopsAt99) {
  const struct {
    int32_t report;
    int32_t shown;
    bool redrawn;
  } steps[] = {
      {0, 0, false},  // a report of 0 changes nothing
      {1, 2, true},   // the first report of 1 switches to the scan page and counts as 2
      {1, 2, false},   {40, 40, true}, {30, 40, false},  // never down
      {140, 99, true},                                   // device steps add up to more than 100
      {100, 99, true},  // above the percent shown: counts are taken again, the bar stays at 99
      {99, 99, false},
  };
  size_t redraws = 0;
  for (const auto& s : steps) {
    EXPECT_EQ(session.ReportProgress(s.report), 0);
    EXPECT_EQ(session.percentShown(), s.shown) << "report " << s.report;
    if (s.redrawn) ++redraws;
    EXPECT_EQ(view.percents.size(), redraws) << "report " << s.report;
  }
  EXPECT_EQ(view.pagesShown, 1);
  EXPECT_EQ(events.events(), (Events{{kMsgScanEvent, kScanEventFirstProgress}}));
}

TEST_F(ScanSessionTest, AWholeScanNeverShowsMoreThan99) {
  auto fake = std::make_unique<FakeRecovery>();
  fake->pointsPerCategory = 15;  // 12 + 9 x 15 = 147
  start(std::move(fake));
  session.Wait();
  ASSERT_FALSE(view.percents.empty());
  for (size_t i = 1; i < view.percents.size(); ++i) {
    EXPECT_GE(view.percents[i], view.percents[i - 1]);
    EXPECT_LE(view.percents[i], 99);
  }
  EXPECT_EQ(view.percents.back(), 99);
}

TEST_F(ScanSessionTest, PauseThenStopEntersAndLeavesTheLockOnce) {
  std::promise<void> inPhotos;
  std::promise<void> paused;
  auto pausedDone = paused.get_future();
  auto fake = std::make_unique<FakeRecovery>();
  fake->duringCategory = [&](int order) {
    if (order != 0) return;
    inPhotos.set_value();
    pausedDone.wait();
  };
  int quits = 0;
  session.setQuitRequest([&] { ++quits; });
  FakeRecovery& ran = start(std::move(fake));
  inPhotos.get_future().wait();

  CountedLock& lock = session.progressLock();
  const uint64_t enteredBefore = lock.enteredCount();
  const uint64_t leftBefore = lock.leftCount();
  session.TogglePause();
  EXPECT_TRUE(session.paused());
  paused.set_value();  // the scan thread now blocks at its next report

  int asked = 0;
  EXPECT_EQ(session.Stop([&] {
    ++asked;
    return kAnswerOk;
  }),
            kAnswerOk);
  EXPECT_TRUE(session.finished());
  EXPECT_FALSE(session.paused());
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(quits, 1);
  // Once by the pause (held across the question), once by the scan thread's last report.
  EXPECT_EQ(lock.enteredCount() - enteredBefore, 2u);
  EXPECT_EQ(lock.leftCount() - leftBefore, 2u);
  EXPECT_EQ(ran.calls.back(), "ScanPhotos");
  EXPECT_EQ(session.result(), kCancelled);
}

TEST_F(ScanSessionTest, StopAnsweredNoWhilePausedKeepsThePause) {
  std::promise<void> inPhotos;
  std::promise<void> paused;
  auto pausedDone = paused.get_future();
  auto fake = std::make_unique<FakeRecovery>();
  fake->duringCategory = [&](int order) {
    if (order != 0) return;
    inPhotos.set_value();
    pausedDone.wait();
  };
  start(std::move(fake));
  inPhotos.get_future().wait();
  session.TogglePause();
  paused.set_value();

  CountedLock& lock = session.progressLock();
  EXPECT_EQ(session.Stop([] { return 2; }), 2);
  EXPECT_TRUE(session.paused());
  EXPECT_EQ(lock.enteredCount() - lock.leftCount(), 1u);  // still held by the pause
  EXPECT_FALSE(session.finished());

  session.TogglePause();  // resume: the scan runs to its end
  session.Wait();
  EXPECT_EQ(session.result(), kOk);
  EXPECT_EQ(lock.enteredCount(), lock.leftCount());
}

TEST_F(ScanSessionTest, CloseAsksOnlyWhenSomethingWasFound) {
  int asked = 0;
  const auto ask = [&] {
    ++asked;
    return 2;
  };
  start(std::make_unique<FakeRecovery>());
  session.Wait();
  EXPECT_EQ(session.AskClose(ask), kAnswerOk);  // finished, nothing found
  EXPECT_EQ(asked, 0);

  auto fake = std::make_unique<FakeRecovery>();
  fake->fillCameraRoll = true;
  start(std::move(fake));
  session.Wait();
  EXPECT_EQ(session.AskClose(ask), 2);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(session.progressLock().enteredCount(), session.progressLock().leftCount());
}

TEST_F(ScanSessionTest, CloseDuringAScanCancelsAndWaitsForIt) {
  std::promise<void> inPhotos;
  std::promise<void> asked;
  auto askedDone = asked.get_future();
  auto fake = std::make_unique<FakeRecovery>();
  fake->fillCameraRoll = true;
  fake->duringCategory = [&](int order) {
    if (order != 0) return;
    inPhotos.set_value();
    askedDone.wait();
  };
  FakeRecovery& ran = start(std::move(fake));
  inPhotos.get_future().wait();
  EXPECT_EQ(session.AskClose([&] {
    asked.set_value();  // the scan thread goes on and blocks at its report
    return kAnswerOk;
  }),
            kAnswerOk);
  EXPECT_TRUE(session.finished());
  EXPECT_EQ(session.result(), kCancelled);
  EXPECT_EQ(ran.calls.back(), "ScanPhotos");
  EXPECT_EQ(session.progressLock().enteredCount(), session.progressLock().leftCount());
}

TEST_F(ScanSessionTest, FirstCategoryWithRecordsIsChosenForDisplay) {
  auto fake = std::make_unique<FakeRecovery>();
  fake->openReports = {};
  fake->pointsPerCategory = 0;
  fake->fillContacts = true;
  start(std::move(fake));
  session.Wait();
  EXPECT_EQ(session.firstDisplay(), ScanCategory::Contacts);
  EXPECT_EQ(
      events.events(),
      (Events{{kMsgCountsChanged, 0}, {kMsgCountsChanged, 0}, {kMsgFirstCategory, 0}, {kMsgScanEnded, 0}}));
}

TEST_F(ScanSessionTest, NoFirstDisplayWhenTheUserAlreadySelected) {
  view.selection = true;
  auto fake = std::make_unique<FakeRecovery>();
  fake->openReports = {};
  fake->pointsPerCategory = 0;
  fake->fillContacts = true;
  start(std::move(fake));
  session.Wait();
  EXPECT_FALSE(session.firstDisplay().has_value());
  EXPECT_EQ(events.events(), (Events{{kMsgCountsChanged, 0}, {kMsgCountsChanged, 0}, {kMsgScanEnded, 0}}));
}

TEST_F(ScanSessionTest, ANewScanDeletesThePreviousRecoveryObjectAndResults) {
  bool destroyed = false;
  auto first = std::make_unique<FakeRecovery>();
  first->destroyed = &destroyed;
  first->fillCameraRoll = true;
  start(std::move(first));
  session.Wait();
  EXPECT_FALSE(destroyed);  // kept for the recovery output until the next scan
  EXPECT_EQ(session.results().cameraRoll.size(), 1u);

  auto second = std::make_unique<FakeRecovery>();
  second->openResult = kInvalid;
  start(std::move(second));
  EXPECT_TRUE(destroyed);
  session.Wait();
  EXPECT_TRUE(session.results().cameraRoll.empty());
  EXPECT_FALSE(session.firstDisplay().has_value());
}

TEST_F(ScanSessionTest, ANewScanDoesNotInheritAPause) {
  start(std::make_unique<FakeRecovery>());
  session.Wait();
  session.TogglePause();  // paused after the scan had ended
  start(std::make_unique<FakeRecovery>());
  EXPECT_FALSE(session.paused());
  session.Wait();  // would hang at the first report if the lock were still held
  EXPECT_EQ(session.result(), kOk);
  EXPECT_EQ(session.progressLock().enteredCount(), session.progressLock().leftCount());
}

TEST(ScanSessionLifetime, DestroyingAPausedSessionEndsItsScan) {
  EventRecorder events;
  std::promise<void> inPhotos;
  {
    ScanSession session(events);
    auto fake = std::make_unique<FakeRecovery>();
    fake->duringCategory = [&](int order) {
      if (order == 0) inPhotos.set_value();
    };
    ASSERT_TRUE(session.Start(std::move(fake), ""));
    inPhotos.get_future().wait();
    session.TogglePause();
  }  // must neither hang nor leak the thread
  EXPECT_EQ(events.events().back(), (EventRecorder::Event{kMsgScanEnded, 0}));
}

TEST(ScanSessionLifetime, StartWithoutARecoveryObjectDoesNothing) {
  EventRecorder events;
  ScanSession session(events);
  EXPECT_FALSE(session.Start(nullptr, ""));
  EXPECT_TRUE(session.finished());
  EXPECT_TRUE(events.events().empty());
}

}  // namespace
}  // namespace fq

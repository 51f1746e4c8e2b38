#include <gtest/gtest.h>

#include <QLockFile>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>
#include <future>

#include "app/SingleInstance.h"
#include "tests/support/TempFolder.h"

namespace fq::app {
namespace {

QString folderOf(const testsupport::TempFolder& f) { return QString::fromStdString(f.path().string()); }

TEST(SingleInstance, SecondStartRaisesTheFirst) {
  testsupport::TempFolder folder("fq-gui");
  SingleInstance first(folderOf(folder));
  ASSERT_EQ(first.claim(), SingleInstance::Outcome::First);
  QSignalSpy raised(&first, &SingleInstance::raiseRequested);
  // The second start runs off this thread so the first can answer here.
  auto second = std::async(std::launch::async, [&] {
    SingleInstance other(folderOf(folder));
    return other.claim(5000);
  });
  while (second.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
    QCoreApplication::processEvents();
  EXPECT_EQ(second.get(), SingleInstance::Outcome::Raised);
  EXPECT_EQ(raised.count(), 1);
}

TEST(SingleInstance, OwnerThatDoesNotAnswerGivesNoAnswer) {
  testsupport::TempFolder folder("fq-gui");
  // A live owner (this process) holds the lock but listens nowhere.
  QLockFile held(folderOf(folder) + "/fernquill.lock");
  ASSERT_TRUE(held.tryLock(0));
  SingleInstance second(folderOf(folder));
  EXPECT_EQ(second.claim(200), SingleInstance::Outcome::NoAnswer);
}

TEST(SingleInstance, LockOfAnEndedRunIsTakenOver) {
  testsupport::TempFolder folder("fq-gui");
  {
    SingleInstance ended(folderOf(folder));
    ASSERT_EQ(ended.claim(), SingleInstance::Outcome::First);
  }
  // A lock file naming a process that no longer exists.
  {
    QFile stale(folderOf(folder) + "/fernquill.lock");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("999999\nfernquill\n" + QSysInfo::machineHostName().toUtf8() + "\n");
  }
  SingleInstance next(folderOf(folder));
  EXPECT_EQ(next.claim(200), SingleInstance::Outcome::First);
}

}  // namespace
}  // namespace fq::app

#include <gtest/gtest.h>

#include <QEvent>
#include <QObject>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/Application.h"
#include "app/CrashReport.h"
#include "tests/support/TempFolder.h"

namespace fq::app {
namespace {

TEST(CrashReport, NameHasNoPadding) {
  struct Case {
    int year, month, day, hour, minute, second;
    const char* name;
  };
  const Case cases[] = {{2014, 5, 3, 9, 7, 41, "2014-5-3&9-7-41.dmp"},
                        {2026, 12, 31, 23, 59, 0, "2026-12-31&23-59-0.dmp"}};
  for (const auto& c : cases) {
    std::tm t{};
    t.tm_year = c.year - 1900;
    t.tm_mon = c.month - 1;
    t.tm_mday = c.day;
    t.tm_hour = c.hour;
    t.tm_min = c.minute;
    t.tm_sec = c.second;
    EXPECT_EQ(CrashReportName(t), c.name);
  }
}

TEST(CrashReport, HandlerNameNamesTheClassAndEvent) {
  QObject plain;
  QEvent event(QEvent::User);
  EXPECT_EQ(HandlerName(&plain, &event), QByteArray("QObject::event(1000)"));
}

}  // namespace
}  // namespace fq::app

namespace fq::app {
namespace {

TEST(CrashReportDeathTest, FatalSignalLeavesAReportUnderTheCurrentFolder) {
  testsupport::TempFolder folder("fq-gui");
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  EXPECT_EXIT(
      {
        InstallCrashReport();
        std::raise(SIGSEGV);
      },
      testing::KilledBySignal(SIGSEGV), "");
  std::filesystem::current_path(before);
  std::vector<std::filesystem::path> reports;
  for (const auto& e : std::filesystem::directory_iterator(folder / "D-Error")) reports.push_back(e.path());
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].extension(), ".dmp");
  std::ifstream in(reports[0]);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("SIGSEGV"), std::string::npos);
  EXPECT_NE(text.find("backtrace:"), std::string::npos);
}

}  // namespace
}  // namespace fq::app

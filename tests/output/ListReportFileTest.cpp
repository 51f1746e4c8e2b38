#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "output/ListReportFile.h"
#include "tests/output/OutputTestSupport.h"

namespace fq {
namespace {

using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

const ReportTemplate kReport{"<html><head>Calls</head><table>\r\n", "</table></html>\r\n"};

// The rows go out through a buffer while they come: a report of many rows,
// well past the buffer, is still head, rows in order, tail, byte for byte.
TEST(ListReportFile, WritesHeadRowsAndTailAsTheyCome) {
  for (const int rows : {1, 3, 5000}) {
    ScratchFolder scratch;
    const auto path = scratch.path() / "CallHistory" / "CallHistory_1.html";
    ListReportFile report;
    std::string expected = kReport.head;
    for (int i = 0; i < rows; ++i) {
      const std::string row = "\t<tr><td>call " + std::to_string(i) + "</td></tr>\r\n";
      report.addRow(path, kReport, row);
      expected += row;
    }
    expected += kReport.tail;
    EXPECT_EQ(report.items(), static_cast<uint32_t>(rows));
    EXPECT_EQ(report.path(), path);
    EXPECT_EQ(report.finish(kReport), 0);
    EXPECT_EQ(ReadBytes(path), expected) << rows << " rows";
  }
}

TEST(ListReportFile, ReplacesAFileOfItsName) {
  ScratchFolder scratch;
  const auto path = scratch.path() / "Notes.html";
  WriteBytes(path, std::string(100000, 'o'));
  ListReportFile report;
  report.addRow(path, kReport, "<tr></tr>");
  EXPECT_EQ(report.finish(kReport), 0);
  EXPECT_EQ(ReadBytes(path), kReport.head + "<tr></tr>" + kReport.tail);
}

// A report whose folder cannot be made fails with the reason, and no
// report of that name is left.
TEST(ListReportFile, AFailedReportSaysWhyAndLeavesNothing) {
  ScratchFolder scratch;
  WriteBytes(scratch.path() / "Contacts", "a file where the folder goes");
  const auto path = scratch.path() / "Contacts" / "1" / "Contacts.html";
  ListReportFile report;
  report.addRow(path, kReport, "<tr></tr>");
  report.addRow(path, kReport, "<tr></tr>");
  EXPECT_EQ(report.items(), 2u);
  EXPECT_NE(report.finish(kReport), 0);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ListReportFile, ADiscardedReportIsRemoved) {
  ScratchFolder scratch;
  const auto path = scratch.path() / "Notes" / "Notes_1.html";
  ListReportFile report;
  report.addRow(path, kReport, "<tr></tr>");
  ASSERT_TRUE(std::filesystem::exists(path));
  report.discard();
  EXPECT_FALSE(std::filesystem::exists(path));
  ListReportFile never;
  never.discard();  // nothing begun, nothing to remove
}

}  // namespace
}  // namespace fq

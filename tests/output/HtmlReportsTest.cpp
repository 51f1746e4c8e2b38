#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/ResultCodes.h"
#include "output/HtmlEscape.h"
#include "output/HtmlReports.h"
#include "output/ReportTemplates.h"
#include "tests/output/OutputTestSupport.h"

namespace fq {
namespace {

using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

const std::string kHostile = "<script>alert('x')</script> & \"q\"";
const std::string kHostileEscaped = "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;q&quot;";

TEST(HtmlEscape, EscapesTheFiveCharacters) {
  EXPECT_EQ(HtmlEscape(kHostile), kHostileEscaped);
  EXPECT_EQ(HtmlEscape("plain é text"), "plain é text");
}

TEST(HtmlRows, ListReportRowsAreByteExact) {
  ContactRecord c;
  c.name = "Ann <Lee>";
  c.phone = "+1 555 0100\n+1 555 0101";
  c.email = "ann@example.com";
  c.address = "1 Main St";
  c.url = "http://a.example/?x=1&y=2";
  c.social = "ann";
  c.company = "R&D";
  EXPECT_EQ(ContactRow(c),
            "\t<tr><td>Ann &lt;Lee&gt;</td><td>+1 555 0100<br />+1 555 0101</td><td>ann@example.com</td>"
            "<td>1 Main St</td><td>http://a.example/?x=1&amp;y=2</td><td>ann</td><td>R&amp;D</td></tr>\r\n");

  CallRecord call{.deleted = 0,
                  .incoming = 1,
                  .duration = 3725,
                  .date = "2024-01-02 03:04:05",
                  .number = "+15550100",
                  .name = "Bob"};
  EXPECT_EQ(CallRow(call),
            "\t<tr><td>Bob</td><td>+15550100</td><td>2024-01-02 03:04:05</td><td>Incoming</td>"
            "<td>1 Hour 2 Min</td></tr>\r\n");
  struct Case {
    int32_t incoming, duration;
    std::string cells;
  } durations[] = {{0, 59, "<td>Outgoing</td><td>59 Sec</td>"},
                   {0, 60, "<td>Outgoing</td><td>1 Min 0 Sec</td>"},
                   {1, 0, "<td>Incoming</td><td>Missed</td>"},
                   {0, 0, "<td>Outgoing</td><td>Canceled</td>"}};
  for (const auto& d : durations) {
    call.incoming = d.incoming;
    call.duration = d.duration;
    EXPECT_NE(CallRow(call).find(d.cells + "</tr>"), std::string::npos) << d.duration;
  }

  NoteRecord note{.deleted = 1, .key = 4, .date = "2024-01-02 03:04:05", .title = "T", .body = kHostile};
  EXPECT_EQ(NoteRow(note), "\t<tr class=\"del_row\"><td>T</td><td>2024-01-02 03:04:05</td><td>" +
                               kHostileEscaped + "</td></tr>\r\n");
}

TEST(HtmlRows, MessageBlocks) {
  MessageRecord m{.deleted = 0,
                  .fromMe = 0,
                  .date = "2024-05-06 07:08:09",
                  .address = "+15550100",
                  .contactName = "Unknown",
                  .text = kHostile};
  const std::string received =
      "<div class=\"date\">Date: 2024-05-06 07:08:09 +15550100:</div>\r\n"
      "<div class=\"recv_msg\">" +
      kHostileEscaped + "</div>\r\n";
  EXPECT_EQ(MessageBlock(m), received);
  m.contactName = "";
  EXPECT_EQ(MessageBlock(m), received);
  m.contactName = "Ann";
  m.deleted = 1;
  EXPECT_EQ(MessageBlock(m),
            "<div class=\"date\">Date: 2024-05-06 07:08:09 Ann:</div>\r\n"
            "<div class=\"del_recv_msg\">" +
                kHostileEscaped + "</div>\r\n");
  m.fromMe = 1;
  EXPECT_EQ(MessageBlock(m),
            "<div class=\"date\">Date: 2024-05-06 07:08:09 Me:</div>\r\n"
            "<div class=\"del_send_msg\">" +
                kHostileEscaped + "</div>\r\n");

  WhatsAppMessageRecord w{
      .fromMe = 0, .date = "2024-05-06 07:08:09", .senderName = "", .text = "hi", .senderPhone = "15550111"};
  EXPECT_EQ(ChatBlock(w),
            "<div class=\"date\">Date: 2024-05-06 07:08:09 15550111:</div>\r\n"
            "<div class=\"recv_msg\">hi</div>\r\n");
  w.fromMe = 1;
  EXPECT_EQ(ChatBlock(w),
            "<div class=\"date\">Date: 2024-05-06 07:08:09 Me:</div>\r\n"
            "<div class=\"send_msg\">hi</div>\r\n");
}

TEST(ReportTemplates, PlaceholdersAreReplacedWhereTheyBelong) {
  ScratchFolder dir;
  const std::string list =
      "<title>{|title|}</title><h1>{|title|}</h1><p>{|person|}</p>{|content|}<i>{|title|}</i>";
  const std::string chat = "<title>{|title|}</title><p>{|person|}</p><p>{|person|}</p>{|content|}end";
  for (const char* name : {"CallHistory.html", "Notes.html", "contacts.html"})
    WriteBytes(dir.path() / name, list);
  for (const char* name : {"Sms.html", "WhatsApp.html"}) WriteBytes(dir.path() / name, chat);

  ReportTemplates t;
  ASSERT_EQ(LoadReportTemplates(dir.path(), "Ann's <iPhone>", t), 0);
  EXPECT_EQ(t.contacts.head,
            "<title>iPhone&#39;s Contacts of Ann&#39;s &lt;iPhone&gt;</title>"
            "<h1>iPhone&#39;s Contacts of Ann&#39;s &lt;iPhone&gt;</h1><p>{|person|}</p>");
  EXPECT_EQ(t.contacts.tail, "<i>{|title|}</i>");  // only the head is titled
  EXPECT_NE(t.callHistory.head.find("iPhone&#39;s Call History of "), std::string::npos);
  EXPECT_NE(t.notes.head.find("iPhone&#39;s Notes of "), std::string::npos);
  EXPECT_NE(t.whatsApp.head.find("iPhone&#39;s WhatsApp Messages of "), std::string::npos);
  EXPECT_EQ(FillPersonLine(t.sms.head, "Ann & Co", "+1"),
            "<title>iPhone&#39;s Messages of Ann&#39;s &lt;iPhone&gt;</title>"
            "<p>Name: Ann &amp; Co, Phone: +1</p><p>Name: Ann &amp; Co, Phone: +1</p>");

  // A template without "{|content|}" is refused; a missing one names itself.
  WriteBytes(dir.path() / "Notes.html", "<p>no split point</p>");
  std::string failed;
  EXPECT_EQ(LoadReportTemplates(dir.path(), "x", t, &failed), kInvalid);
  EXPECT_TRUE(failed.ends_with("Notes.html"));
  std::filesystem::remove(dir.path() / "Sms.html");
  WriteBytes(dir.path() / "Notes.html", list);
  EXPECT_EQ(LoadReportTemplates(dir.path(), "x", t, &failed), ENOENT);
  EXPECT_TRUE(failed.ends_with("Sms.html"));
  // A pipe in a template's place is refused, not waited on.
  ASSERT_EQ(mkfifo((dir.path() / "Sms.html").c_str(), 0600), 0);
  EXPECT_EQ(LoadReportTemplates(dir.path(), "x", t, &failed), EINVAL);
}

struct Report {
  int32_t percent, code;
  std::string file;
};

class ConversationPage : public ::testing::Test {
 protected:
  std::vector<MessageRecord> Messages(int n) {
    std::vector<MessageRecord> list;
    for (int i = 0; i < n; ++i) {
      list.push_back(MessageRecord{.fromMe = i % 2,
                                   .handleRowId = 1,
                                   .date = "2024-01-0" + std::to_string(i + 1),
                                   .address = "+1",
                                   .contactName = "Ann",
                                   .text = "m" + std::to_string(i)});
    }
    return list;
  }
  CopyProgressCallback Recorder(int32_t answerAt = -1) {
    return [this, answerAt](int32_t percent, int32_t code, const std::filesystem::path& p) {
      reports.push_back({percent, code, p.filename().string()});
      return percent == answerAt ? kCancelled : 0;
    };
  }
  ScratchFolder dir;
  std::vector<Report> reports;
};

TEST_F(ConversationPage, ReportsAfterEachBlockAndTheLastOnceWritten) {
  const auto messages = Messages(3);
  const auto page = dir.path() / "Ann-1" / "Ann(+1).html";
  EXPECT_EQ(WriteConversationReport(page, "<h>", "</t>", &messages, Recorder()), 0);
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[0].percent, 33);
  EXPECT_EQ(reports[1].percent, 66);
  EXPECT_EQ(reports[2].percent, 100);
  EXPECT_EQ(reports[2].code, 0);
  EXPECT_EQ(reports[2].file, "Ann(+1).html");
  EXPECT_EQ(ReadBytes(page), "<h>" + MessageBlock(messages[0]) + MessageBlock(messages[1]) +
                                 MessageBlock(messages[2]) + "</t>");

  reports.clear();
  const auto one = Messages(1);
  EXPECT_EQ(WriteConversationReport(dir.path() / "one.html", "", "", &one, Recorder()), 0);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].percent, 100);
}

TEST_F(ConversationPage, MissingConversationCancelAndUncreatablePage) {
  EXPECT_EQ(WriteConversationReport(dir.path() / "none.html", "<h>", "</t>", nullptr, Recorder()), 0);
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(ReadBytes(dir.path() / "none.html"), "<h></t>");

  // A cancel at the first report stops adding blocks; no 100 is reported.
  const auto messages = Messages(3);
  EXPECT_EQ(WriteConversationReport(dir.path() / "cut.html", "<h>", "</t>", &messages, Recorder(33)),
            kCancelled);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(ReadBytes(dir.path() / "cut.html"), "<h>" + MessageBlock(messages[0]) + "</t>");

  // A page whose folder is a file cannot be created: one report of 100 with the errno.
  reports.clear();
  WriteBytes(dir.path() / "blocker", "x");
  const int32_t rc =
      WriteConversationReport(dir.path() / "blocker" / "p.html", "", "", &messages, Recorder());
  EXPECT_NE(rc, 0);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].percent, 100);
  EXPECT_EQ(reports[0].code, rc);
}

// The shipped templates filled with hostile records parse as HTML without errors.
TEST(ShippedTemplates, GeneratedPagesParseCleanly) {
  // The checker itself does see broken markup.
  EXPECT_FALSE(test::HtmlParseErrors("<!DOCTYPE html><html><body><p>x</span></p></body></html>").empty());
  ReportTemplates t;
  ASSERT_EQ(
      LoadReportTemplates(std::filesystem::path(FERNQUILL_SOURCE_DIR) / "template", "Ann's <iPhone> & co", t),
      0);
  ContactRecord c{.deleted = 1, .email = kHostile, .phone = "1\n2", .name = kHostile};
  CallRecord call{.duration = 61, .number = kHostile};
  NoteRecord note{.title = kHostile, .body = "line1\nline2 </td></tr></table>"};
  MessageRecord m{.fromMe = 0, .date = "d", .address = "+1", .contactName = kHostile, .text = kHostile};
  WhatsAppMessageRecord w{.deleted = 1, .date = "d", .senderName = kHostile, .text = "</div></body>"};
  const std::string pages[] = {
      t.contacts.head + ContactRow(c) + ContactRow({}) + t.contacts.tail,
      t.callHistory.head + CallRow(call) + t.callHistory.tail,
      t.notes.head + NoteRow(note) + t.notes.tail,
      FillPersonLine(t.sms.head, kHostile, "+1") + MessageBlock(m) + t.sms.tail,
      FillPersonLine(t.whatsApp.head, kHostile, "+1") + ChatBlock(w) + t.whatsApp.tail,
  };
  for (const auto& page : pages) {
    EXPECT_EQ(test::HtmlParseErrors(page), std::vector<std::string>{}) << page.substr(0, 200);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_EQ(page.find("{|"), std::string::npos);
  }
}

}  // namespace
}  // namespace fq

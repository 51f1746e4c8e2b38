#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <map>

#include "engine/ResultCodes.h"
#include "engine/backup/FileId.h"
#include "output/RecoveryJob.h"
#include "output/RecoverySummary.h"
#include "output/ReportTemplates.h"
#include "output/ResultText.h"
#include "output/Selection.h"
#include "tests/output/OutputTestSupport.h"

namespace fq {
namespace {

namespace fs = std::filesystem;
using test::FakeRecoverySession;
using test::ListTree;
using test::ReadBytes;
using test::WriteBytes;

constexpr const char* kStamp = "20260102030405";

class RecoveryJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LoadReportTemplates(fs::path(FERNQUILL_SOURCE_DIR) / "template", "Ann's iPhone", templates), 0);
    root = scratch.path() / "out";
    fs::create_directories(root);
  }

  // A stored file in the fake backup with `size` bytes of a repeating pattern.
  fs::path Stored(const std::string& id, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 23);
    const fs::path path = scratch.path() / "backup" / id;
    WriteBytes(path, bytes);
    return path;
  }
  MediaFileRecord Media(const std::string& name, const std::string& id, size_t size) {
    return {static_cast<uint32_t>(size), name, Stored(id, size)};
  }

  // A job over everything `results` holds (or what `request` picks of it).
  std::unique_ptr<RecoveryJob> MakeJob(const std::string& stamp = kStamp,
                                       std::function<void()> onChange = {}) {
    SelectForRecovery(results, appPhotos, appVideos, request, stats);
    auto job = std::make_unique<RecoveryJob>(root, results, stats, session, templates, std::move(onChange));
    job->SetStamp(stamp);
    return job;
  }
  // Runs it on this thread.
  std::unique_ptr<RecoveryJob> Recover(const std::string& stamp = kStamp) {
    auto job = MakeJob(stamp);
    job->Run();
    return job;
  }

  void ExpectEveryPageParses() {
    for (const auto& e : fs::recursive_directory_iterator(root)) {
      if (e.path().extension() != ".html") continue;
      const std::string page = ReadBytes(e.path());
      EXPECT_EQ(test::HtmlParseErrors(page), std::vector<std::string>{}) << e.path();
      EXPECT_EQ(page.find("{|"), std::string::npos) << e.path();
    }
  }

  test::ScratchFolder scratch;
  fs::path root;
  ScanResults results;
  RecoveryRequest request;
  AppFolderMap appPhotos, appVideos;
  CStatisticsObj stats;
  FakeRecoverySession session;
  ReportTemplates templates;
};

TEST_F(RecoveryJobTest, WritesTheWholeTreeForEveryKind) {
  results.cameraRoll = {Media("IMG_0001.JPG", "c1", 70000), Media("IMG_0001.JPG", "c2", 10),
                        Media("IMG_0001.JPG", "c3", 20), Media("empty.JPG", "c4", 0)};
  results.photoStream = {Media("IMG_0001.JPG", "p1", 30)};
  appPhotos["com.app.one"] = {{40, "com.app.one", "a.PNG", Stored("a1", 40)}};
  appVideos["com.app.one"] = {{50, "com.app.one", "clip.mov", Stored("a2", 50)}};
  results.messageAttachments = {{0, 60, "photo.JPG", Stored("m1", 60)}};
  results.whatsAppAttachments = {Media("w.JPG", "w1", 70)};
  auto msg = [](int32_t handle, std::string name, std::string address, std::string text, int32_t fromMe = 0) {
    return MessageRecord{.fromMe = fromMe,
                         .handleRowId = handle,
                         .date = "2024-01-01 10:00:0" + text.substr(0, 1),
                         .address = address,
                         .contactName = name,
                         .text = text};
  };
  results.conversations[1] = {msg(1, "Ann", "+1", "1 hi"), msg(1, "Ann", "+1", "2 yo", 1),
                              msg(1, "Ann", "+1", "3 ok")};
  results.conversations[2] = {msg(2, "", "+2", "4 a")};
  results.conversations[3] = {msg(3, "", "", "5 b")};
  results.conversations[5] = {msg(5, "", "", "6 c")};
  results.whatsAppChats[9] = {WhatsAppMessageRecord{.chatRowId = 9,
                                                    .date = "d",
                                                    .senderName = "Bob",
                                                    .text = "hi",
                                                    .senderPhone = "15",
                                                    .chatTitle = "Bob",
                                                    .chatPhones = "15",
                                                    .partnerName = "Bob"}};
  results.whatsAppChats[10] = {WhatsAppMessageRecord{.fromMe = 1,
                                                     .chatRowId = 10,
                                                     .date = "d",
                                                     .senderName = "Me",
                                                     .text = "all",
                                                     .chatTitle = "Bob,Carol",
                                                     .chatPhones = "15,16",
                                                     .partnerName = "Family"}};
  results.contacts = {ContactRecord{.phone = "1\n2", .name = "Ann"},
                      ContactRecord{.deleted = 1, .name = "Del"}};
  results.calls = {CallRecord{.incoming = 1, .duration = 3725, .date = "d", .number = "+1"}};
  results.notes = {NoteRecord{.date = "d", .title = "T", .body = "B"}};

  const auto job = Recover();
  const std::string s = kStamp;
  const std::set<std::string> expected = {
      "Camera Roll",
      "Camera Roll/IMG_0001.JPG",
      "Camera Roll/IMG_0001(1).JPG",
      "Camera Roll/IMG_0001(2).JPG",
      "Camera Roll/empty.JPG",
      "Photo Stream",
      "Photo Stream/IMG_0001.JPG",
      "App Photos",
      "App Photos/com.app.one",
      "App Photos/com.app.one/a.PNG",
      "App Video",
      "App Video/com.app.one",
      "App Video/com.app.one/clip.mov",
      "Message Attachments",
      "Message Attachments/photo.JPG",
      "WhatsApp Attachments",
      "WhatsApp Attachments/w.JPG",
      "Message",
      "Message/sms.csv",
      "Message/Ann-" + s,
      "Message/Ann-" + s + "/Ann(+1).txt",
      "Message/Ann-" + s + "/Ann(+1).html",
      "Message/Unknown-" + s,
      "Message/Unknown-" + s + "/Unknown(+2).txt",
      "Message/Unknown-" + s + "/Unknown(+2).html",
      "Message/Unknown-" + s + "/Unknown.txt",
      "Message/Unknown-" + s + "/Unknown.html",
      "Message/Unknown-" + s + "/Unknown(1).txt",
      "Message/Unknown-" + s + "/Unknown(1).html",
      "WhatsApp Message",
      "WhatsApp Message/Bob(15)-" + s,
      "WhatsApp Message/Bob(15)-" + s + "/Bob(15).txt",
      "WhatsApp Message/Bob(15)-" + s + "/Bob(15).csv",
      "WhatsApp Message/Bob(15)-" + s + "/Bob(15).html",
      "WhatsApp Message/Family-" + s,
      "WhatsApp Message/Family-" + s + "/Family.txt",
      "WhatsApp Message/Family-" + s + "/Family.csv",
      "WhatsApp Message/Family-" + s + "/Family.html",
      "Contacts",
      "Contacts/" + s,
      "Contacts/" + s + "/Contacts.html",
      "Contacts/" + s + "/Contacts.csv",
      "CallHistory",
      "CallHistory/CallHistory_" + s + ".html",
      "Notes",
      "Notes/Notes_" + s + ".html",
      "index.html",
  };
  EXPECT_EQ(ListTree(root), expected);

  // Copies are byte-exact; an empty file is written and counted like any other.
  EXPECT_EQ(ReadBytes(root / "Camera Roll" / "IMG_0001.JPG"), ReadBytes(results.cameraRoll[0].path));
  EXPECT_EQ(ReadBytes(root / "Camera Roll" / "IMG_0001(2).JPG"), ReadBytes(results.cameraRoll[2].path));
  EXPECT_EQ(fs::file_size(root / "Camera Roll" / "empty.JPG"), 0u);
  const RecoveryProgress p = job->Progress();
  EXPECT_TRUE(p.finished);
  EXPECT_FALSE(p.cancelled);
  EXPECT_EQ(p.total, 19u);
  EXPECT_EQ(p.processed, 19u);
  EXPECT_EQ(p.failed, 0u);
  const auto rows = job->Rows();
  ASSERT_EQ(rows.size(), 19u);
  EXPECT_TRUE(
      std::all_of(rows.begin(), rows.end(), [](const RecoveryRow& r) { return r.status == "Success"; }));

  // The exports are the session's, once each; the reports hold what was ticked.
  EXPECT_EQ(ReadBytes(root / "Message" / "sms.csv"), FakeRecoverySession::kMessagesExportLine);
  EXPECT_EQ(ReadBytes(root / "Contacts" / s / "Contacts.csv"), FakeRecoverySession::kContactsExportLine);
  EXPECT_EQ(session.messagesExports, 1);
  const std::string contacts = ReadBytes(root / "Contacts" / s / "Contacts.html");
  EXPECT_NE(contacts.find("\t<tr><td>Ann</td><td>1<br />2</td>"), std::string::npos);
  EXPECT_NE(contacts.find("\t<tr class=\"del_row\"><td>Del</td>"), std::string::npos);
  EXPECT_NE(contacts.find("iPhone&#39;s Contacts of Ann&#39;s iPhone"), std::string::npos);
  EXPECT_NE(ReadBytes(root / "CallHistory" / ("CallHistory_" + s + ".html")).find("<td>1 Hour 2 Min</td>"),
            std::string::npos);
  const std::string page = ReadBytes(root / "Message" / ("Ann-" + s) / "Ann(+1).html");
  EXPECT_NE(page.find("Name: Ann, Phone: +1"), std::string::npos);
  EXPECT_NE(page.find("<div class=\"send_msg\">2 yo</div>"), std::string::npos);
  EXPECT_NE(ReadBytes(root / "WhatsApp Message" / ("Family-" + s) / "Family.html")
                .find("Name: Bob,Carol, Phone: 15,16"),
            std::string::npos);
  ExpectEveryPageParses();

  const std::string summary = FormatRecoverySummary(p, rows, root);
  EXPECT_NE(summary.find("Processed: 19, succeeded: 19, failed: 0"), std::string::npos);
  EXPECT_EQ(summary.find("Failed:"), std::string::npos);
}

TEST_F(RecoveryJobTest, HostileNamesStayInsideTheOutputFolder) {
  results.cameraRoll = {Media("../../escape.JPG", "c1", 10), Media("..", "c2", 10)};
  appPhotos["../.."] = {{10, "../..", "../up.png", Stored("a1", 10)}};
  results.conversations[1] = {MessageRecord{.handleRowId = 1,
                                            .date = "d",
                                            .address = "/etc/passwd",
                                            .contactName = "../..",
                                            .text = "<script>x</script>"}};
  results.whatsAppChats[2] = {WhatsAppMessageRecord{
      .chatRowId = 2, .date = "d", .text = "t", .chatTitle = "../../../tmp", .chatPhones = "x/y"}};
  const auto job = Recover();
  EXPECT_EQ(job->Progress().failed, 0u);
  // Only the output and backup folders exist beside each other; nothing climbed out.
  std::set<std::string> top;
  for (const auto& e : fs::directory_iterator(scratch.path())) top.insert(e.path().filename().string());
  EXPECT_EQ(top, (std::set<std::string>{"backup", "out"}));
  for (const auto& entry : ListTree(root)) {
    for (const auto& part : fs::path(entry)) EXPECT_TRUE(part != ".." && part != ".") << entry;
  }
  EXPECT_TRUE(fs::exists(root / "Camera Roll" / ".._.._escape.JPG"));
  EXPECT_TRUE(fs::exists(root / "App Photos" / ".._.." / ".._up.png"));
  const fs::path pagePath = root / "Message" / (std::string(".._..-") + kStamp) / ".._..(_etc_passwd).html";
  const std::string page = ReadBytes(pagePath);
  EXPECT_EQ(page.find("<script>x"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;x"), std::string::npos);
  ExpectEveryPageParses();
}

TEST_F(RecoveryJobTest, ContactsOnlyAndCallsOnly) {
  results.contacts = {ContactRecord{.name = "Ann"}};
  Recover();
  const std::string s = kStamp;
  EXPECT_EQ(ListTree(root),
            (std::set<std::string>{"Contacts", "Contacts/" + s, "Contacts/" + s + "/Contacts.html",
                                   "Contacts/" + s + "/Contacts.csv", "index.html"}));
  EXPECT_EQ(session.messagesExports, 0);

  fs::remove_all(root / "Contacts");
  results.contacts.clear();
  results.calls = {CallRecord{.number = "+1"}};
  Recover();
  EXPECT_EQ(ListTree(root),
            (std::set<std::string>{"CallHistory", "CallHistory/CallHistory_" + s + ".html", "index.html"}));
}

TEST_F(RecoveryJobTest, TwoRecoveriesInDifferentSecondsStayApart) {
  results.cameraRoll = {Media("IMG_0001.JPG", "c1", 10)};
  results.notes = {NoteRecord{.title = "T"}};
  results.conversations[1] = {
      MessageRecord{.handleRowId = 1, .address = "+1", .contactName = "Ann", .text = "x"}};
  Recover("20260101000000");
  Recover("20260101000001");
  const auto tree = ListTree(root);
  for (const char* name :
       {"Camera Roll/IMG_0001.JPG", "Camera Roll/IMG_0001(1).JPG", "Notes/Notes_20260101000000.html",
        "Notes/Notes_20260101000001.html", "Message/Ann-20260101000000/Ann(+1).html",
        "Message/Ann-20260101000001/Ann(+1).html"}) {
    EXPECT_TRUE(tree.count(name)) << name;
  }
  // sms.csv is exported anew, not appended to.
  EXPECT_EQ(ReadBytes(root / "Message" / "sms.csv"), FakeRecoverySession::kMessagesExportLine);
}

TEST_F(RecoveryJobTest, ReportsProgressPerBlockAndPerChunk) {
  results.cameraRoll = {Media("big.JPG", "c1", 3 * 65536 + 100)};
  results.conversations[1] = {MessageRecord{.handleRowId = 1, .date = "1", .address = "+1", .text = "a"},
                              MessageRecord{.handleRowId = 1, .date = "2", .address = "+1", .text = "b"},
                              MessageRecord{.handleRowId = 1, .date = "3", .address = "+1", .text = "c"}};
  std::vector<std::pair<int32_t, std::string>> seen;
  RecoveryJob* job = nullptr;
  auto owned = MakeJob(kStamp, [&] {
    const auto p = job->Progress();
    if (!p.finished) seen.emplace_back(p.percent, p.current.filename().string());
  });
  job = owned.get();
  job->Run();
  const std::vector<std::pair<int32_t, std::string>> expected = {
      {33, "big.JPG"},          {66, "big.JPG"},          {99, "big.JPG"},          {100, "big.JPG"},
      {33, "Unknown(+1).html"}, {66, "Unknown(+1).html"}, {100, "Unknown(+1).html"}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(job->Progress().processed, 2u);
}

TEST_F(RecoveryJobTest, CancelStopsTheCopyAndLaterItemsButKeepsAddedRows) {
  results.contacts = {ContactRecord{.name = "Ann"}};
  results.whatsAppAttachments = {Media("big.JPG", "w1", 4 * 65536), Media("later.JPG", "w2", 10)};
  RecoveryJob* job = nullptr;
  auto armed = MakeJob(kStamp, [&] {
    if (job->Progress().current.filename() == "big.JPG") job->Cancel();
  });
  job = armed.get();
  job->Run();

  const RecoveryProgress p = armed->Progress();
  EXPECT_TRUE(p.cancelled);
  EXPECT_TRUE(p.finished);
  EXPECT_EQ(p.processed, 1u);    // the contact row, added before the cancel
  EXPECT_EQ(session.copies, 1);  // later.JPG was never started
  const std::string s = kStamp;
  EXPECT_EQ(ListTree(root),
            (std::set<std::string>{"Contacts", "Contacts/" + s, "Contacts/" + s + "/Contacts.html",
                                   "Contacts/" + s + "/Contacts.csv", "WhatsApp Attachments", "index.html"}));
  EXPECT_NE(FormatRecoverySummary(p, armed->Rows(), root).find("Recovery cancelled."), std::string::npos);
}

TEST_F(RecoveryJobTest, CancelWhileTheWorkerIsHeld) {
  results.cameraRoll = {Media("a.JPG", "c1", 10)};
  results.notes = {NoteRecord{.title = "T"}};
  auto job = MakeJob("");
  {
    auto held = job->HoldProgress();  // the worker waits here as it would behind a question box
    job->Start();
    EXPECT_FALSE(job->IsFinished());
    job->Cancel(held);
  }
  job->WaitUntilFinished();
  job->Join();
  EXPECT_EQ(job->Progress().processed, 0u);
  EXPECT_TRUE(ListTree(root).empty());
  EXPECT_EQ(job->Stamp().size(), 14u);  // no fixed stamp: the local time
}

TEST_F(RecoveryJobTest, FailuresBecomeRowsAndTheJobGoesOn) {
  results.cameraRoll = {MediaFileRecord{5, "gone.JPG", scratch.path() / "backup" / "missing"},
                        Media("ok.JPG", "c1", 10)};
  results.calls = {CallRecord{.number = "+1"}};
  WriteBytes(root / "CallHistory", "a file where the report folder should be");
  const auto job = Recover();
  const auto rows = job->Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].path, root / "Camera Roll" / "gone.JPG");
  EXPECT_EQ(rows[0].status, "The file in the backup or the output file cannot be opened");
  EXPECT_FALSE(rows[0].success);
  EXPECT_TRUE(rows[1].success);
  // The call lives only in a report that could not be written: it failed.
  EXPECT_FALSE(rows[2].success);
  EXPECT_EQ(rows[2].status, ResultText(ENOTDIR));
  EXPECT_EQ(job->Progress().failed, 2u);
  EXPECT_EQ(job->Progress().Succeeded(), 1u);
  // The rows from an index are the tail of the whole list.
  EXPECT_EQ(job->RowCount(), 3u);
  const auto tail = job->RowsFrom(1);
  ASSERT_EQ(tail.size(), 2u);
  EXPECT_EQ(tail[0].path, rows[1].path);
  EXPECT_EQ(tail[1].status, rows[2].status);
  EXPECT_TRUE(job->RowsFrom(3).empty());
  EXPECT_TRUE(job->RowsFrom(99).empty());
  const std::string summary = FormatRecoverySummary(job->Progress(), rows, root);
  EXPECT_NE(summary.find("gone.JPG: The file in the backup or the output file cannot be opened"),
            std::string::npos)
      << summary;
  EXPECT_EQ(ResultText(0), "Success");
  EXPECT_EQ(ResultText(ENOENT), "No such file or directory");
}

// A page of the run that cannot be written (here the index page) is a listed
// failure, not an item: the counts still end at the total, never past it.
TEST_F(RecoveryJobTest, AFailedRunPageIsListedOutsideTheItemCounts) {
  results.contacts = {ContactRecord{.name = "Ann"}, ContactRecord{.name = "Bo"}};
  fs::create_directories(root / "index.html");
  const auto job = Recover();
  const RecoveryProgress p = job->Progress();
  EXPECT_EQ(p.total, 2u);
  EXPECT_EQ(p.processed, 2u);
  EXPECT_EQ(p.failed, 0u);
  EXPECT_EQ(p.otherFailures, 1u);
  const auto rows = job->Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].path, root / "index.html");
  EXPECT_FALSE(rows[2].success);
  EXPECT_NE(FormatRecoverySummary(p, rows, root).find("Other failures (listed below): 1"), std::string::npos);
}

// A disk that fills up part way: every file that did not get all its bytes is
// a failed row with the system's reason, its partial file is gone, and only
// what was really written counts as succeeded.
TEST_F(RecoveryJobTest, AFullDiskFailsTheItemsItCutShort) {
  constexpr rlim_t kRoom = 8192;  // bytes any one output file may hold
  results.cameraRoll = {Media("small.JPG", "c1", 100), Media("walk.MOV", "c2", 60000)};
  std::vector<MessageRecord> many;
  for (int i = 0; i < 400; ++i) {
    many.push_back(MessageRecord{
        .handleRowId = 1, .date = "2019-01-01 00:00:00", .address = "+1", .text = std::string(40, 'm')});
  }
  results.conversations[1] = many;
  results.notes = {NoteRecord{.title = "T", .body = std::string(20000, 'n')}};

  auto job = MakeJob();
  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  // Past the limit a write fails with EFBIG, as a full disk fails with ENOSPC.
  const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = before;
  limited.rlim_cur = kRoom;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  job->Run();
  ::setrlimit(RLIMIT_FSIZE, &before);
  ::signal(SIGXFSZ, oldHandler);

  std::map<std::string, RecoveryRow> byName;
  for (const auto& row : job->Rows()) byName[row.path.filename().string()] = row;
  EXPECT_TRUE(byName["small.JPG"].success);
  const std::string tooBig = std::strerror(EFBIG);
  for (const char* name : {"walk.MOV", "Notes_20260102030405.html"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(byName.count(name));
    EXPECT_FALSE(byName[name].success);
    EXPECT_EQ(byName[name].status, tooBig);
  }
  // The conversation's text or page did not fit: the item failed as a whole.
  const auto conversation = std::find_if(byName.begin(), byName.end(), [](const auto& entry) {
    return entry.first.rfind("Unknown(+1)", 0) == 0;
  });
  ASSERT_NE(conversation, byName.end());
  EXPECT_FALSE(conversation->second.success);
  for (const auto& name : ListTree(root)) {
    const fs::path path = root / name;
    if (fs::is_regular_file(path)) {
      EXPECT_LE(fs::file_size(path), kRoom) << name;
    }
    EXPECT_EQ(name.find("walk.MOV"), std::string::npos) << "a partial copy was left: " << name;
    EXPECT_EQ(name.find("Notes_"), std::string::npos) << "a partial report was left: " << name;
  }
  const RecoveryProgress p = job->Progress();
  EXPECT_EQ(p.total, 4u);
  EXPECT_EQ(p.processed, 4u);
  EXPECT_EQ(p.Succeeded(), 1u);
}

// The index page names the source, counts each category, lists what failed
// with its reason, and every link on it leads to something the run wrote.
TEST_F(RecoveryJobTest, TheIndexPageLinksEverythingTheRunWrote) {
  results.cameraRoll = {MediaFileRecord{5, "gone.JPG", scratch.path() / "backup" / "missing"},
                        Media("ok <b>.JPG", "c1", 10)};
  results.notes = {NoteRecord{.title = "T"}, NoteRecord{.deleted = 1, .title = "D"}};
  results.status[ScanCategory::Contacts] = {CategoryState::Absent, "the backup holds no address book"};
  auto job = MakeJob();
  job->SetSource({.deviceName = "Ann's <iPhone>",
                  .serialNumber = "SER1",
                  .backupDate = "2019-03-01 09:00:00",
                  .encrypted = true,
                  .device = false,
                  .program = "fernquill-cli 9.9"});
  job->Run();

  const std::string page = ReadBytes(root / "index.html");
  EXPECT_EQ(test::HtmlParseErrors(page), std::vector<std::string>{});
  EXPECT_EQ(page.find("<iPhone>"), std::string::npos) << "texts are escaped";
  for (const char* text : {"Ann&#39;s &lt;iPhone&gt;", "SER1", "2019-03-01 09:00:00", "fernquill-cli 9.9",
                           "2026-01-02 03:04:05", "absent: the backup holds no address book", "gone.JPG: "}) {
    EXPECT_NE(page.find(text), std::string::npos) << text;
  }
  // Notes: 1 live, 1 deleted, both written in one report; Camera Roll: 1 written, 1 failed.
  EXPECT_NE(page.find("<td>Notes</td><td class=\"n\">1</td><td class=\"n\">1</td><td class=\"n\">2</td>"
                      "<td class=\"n\">0</td>"),
            std::string::npos);
  EXPECT_NE(page.find("<td>Camera Roll</td><td class=\"n\">2</td><td class=\"n\">0</td><td class=\"n\">1</td>"
                      "<td class=\"n warn\">1</td>"),
            std::string::npos);
  size_t links = 0;
  for (size_t at = page.find("href=\""); at != std::string::npos; at = page.find("href=\"", at + 1)) {
    const size_t end = page.find('"', at + 6);
    std::string href = page.substr(at + 6, end - at - 6);
    std::string decoded;
    for (size_t i = 0; i < href.size(); ++i) {
      if (href[i] == '%' && i + 2 < href.size()) {
        decoded += static_cast<char>(std::stoi(href.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        decoded += href[i];
      }
    }
    EXPECT_TRUE(fs::exists(root / decoded)) << href;
    ++links;
  }
  EXPECT_GE(links, 3u);  // the two category folders and the notes report at least
}

// Pages show the files their messages carry from a folder of their own, with
// links relative to the page: the run's folder can be moved and still works.
TEST_F(RecoveryJobTest, PagesShowTheirAttachmentsWithLinksThatSurviveAMove) {
  // Stored as a backup stores them: named by the digest of domain and path.
  const auto stored = [&](std::string name, const std::string& key, size_t size) {
    return MediaFileRecord{static_cast<uint32_t>(size), std::move(name), Stored(FileIdOf(key), size)};
  };
  const std::string sms = "MediaDomain-Library/SMS/Attachments/";
  const MediaFileRecord photo = stored("IMG 0300 #1.JPG", sms + "3f/15/A/IMG 0300 #1.jpeg", 60);
  const MediaFileRecord voice = stored("Audio Message.AMR", sms + "c2/02/B/Audio Message.amr", 40);
  results.messageAttachments = {{0, photo.size, photo.name, photo.path},
                                {0, voice.size, voice.name, voice.path}};
  results.whatsAppAttachments = {
      stored("27a1c0de-photo.JPG",
             "AppDomain-net.whatsapp.WhatsApp-Library/Media/1@s.whatsapp.net/2/7/27a1c0de-photo.jpg", 50)};
  const auto message = [](std::string text, std::string attachment, int32_t deleted = 0) {
    return MessageRecord{.deleted = deleted,
                         .handleRowId = 1,
                         .date = "2024-01-01 10:00:00",
                         .address = "+1",
                         .contactName = "Ann",
                         .text = std::move(text),
                         .attachment = std::move(attachment)};
  };
  results.conversations[1] = {
      message("look", "~/Library/SMS/Attachments/3f/15/A/IMG 0300 #1.jpeg"),
      message("listen", "/var/mobile/Library/SMS/Attachments/c2/02/B/Audio Message.amr", 1),
      message("again", "~/Library/SMS/Attachments/3f/15/A/IMG 0300 #1.jpeg"),
      message("gone", "~/Library/SMS/Attachments/e5/05/C/lost.jpg"),
  };
  const auto chatMessage = [](int32_t media, std::string text) {
    return WhatsAppMessageRecord{.chatRowId = 9,
                                 .mediaRowId = media,
                                 .date = "d",
                                 .senderName = "Bob",
                                 .text = std::move(text),
                                 .chatTitle = "Bob",
                                 .chatPhones = "15"};
  };
  results.whatsAppChats[9] = {chatMessage(1, "Media/1@s.whatsapp.net/2/7/27a1c0de-photo.jpg"),
                              chatMessage(2, "Media/1@s.whatsapp.net/3/1/31b2d0ef-video.mp4"),
                              chatMessage(3, "a caption")};
  request.categories = {ItemKind::Messages, ItemKind::WhatsApp};
  const auto job = Recover();
  for (const auto& row : job->Rows()) EXPECT_TRUE(row.success) << row.path << ": " << row.status;

  // The run moved elsewhere, as a user copies it to another disk.
  const fs::path moved = scratch.path() / "moved run";
  fs::rename(root, moved);
  const fs::path conversation = moved / "Message" / (std::string("Ann-") + kStamp) / "Ann(+1).html";
  const fs::path chat = moved / "WhatsApp Message" / (std::string("Bob(15)-") + kStamp) / "Bob(15).html";
  using Links = std::set<test::PageLink>;
  const auto linksOf = [](const fs::path& page) {
    const auto links = test::PageLinks(ReadBytes(page));
    for (const auto& link : links) {
      EXPECT_TRUE(fs::is_regular_file(page.parent_path() / link.target)) << page << ": " << link.target;
    }
    return Links(links.begin(), links.end());
  };
  // A picture is a thumbnail inside a link, another file a link; a file shown twice is copied once.
  EXPECT_EQ(linksOf(conversation), (Links{{"a", "Attachments/IMG 0300 #1.JPG"},
                                          {"img", "Attachments/IMG 0300 #1.JPG"},
                                          {"a", "Attachments/Audio Message.AMR"}}));
  EXPECT_EQ(ReadBytes(conversation.parent_path() / "Attachments" / "IMG 0300 #1.JPG"), ReadBytes(photo.path));
  EXPECT_EQ(ReadBytes(conversation.parent_path() / "Attachments" / "Audio Message.AMR"),
            ReadBytes(voice.path));
  EXPECT_EQ(ListTree(conversation.parent_path() / "Attachments").size(), 2u);
  const std::string page = ReadBytes(conversation);
  EXPECT_NE(page.find("Attachment not recovered: lost.jpg"), std::string::npos);
  EXPECT_NE(page.find("max-width:240px"), std::string::npos);

  // A media message shows its file, never the path it had on the phone.
  EXPECT_EQ(linksOf(chat),
            (Links{{"a", "Attachments/27a1c0de-photo.JPG"}, {"img", "Attachments/27a1c0de-photo.JPG"}}));
  const std::string chatPage = ReadBytes(chat);
  EXPECT_EQ(chatPage.find("Media/1@s.whatsapp.net"), std::string::npos);
  EXPECT_NE(chatPage.find("Attachment not recovered: 31b2d0ef-video.mp4"), std::string::npos);
  EXPECT_NE(chatPage.find(">a caption</div>"), std::string::npos);
  root = moved;
  ExpectEveryPageParses();
}

// Deleted-only pages carry the files of their deleted messages only.
TEST_F(RecoveryJobTest, DeletedOnlyPagesCopyOnlyTheirMessagesFiles) {
  const std::string key = "MediaDomain-Library/SMS/Attachments/aa/01/X/kept.png";
  results.messageAttachments = {
      {0, 30, "kept.PNG", Stored(FileIdOf(key), 30)},
      {0, 30, "live.PNG", Stored(FileIdOf("MediaDomain-Library/SMS/Attachments/aa/02/Y/live.png"), 30)}};
  results.conversations[1] = {MessageRecord{.handleRowId = 1,
                                            .address = "+1",
                                            .text = "live",
                                            .attachment = "~/Library/SMS/Attachments/aa/02/Y/live.png"},
                              MessageRecord{.deleted = 1,
                                            .handleRowId = 1,
                                            .address = "+1",
                                            .text = "gone",
                                            .attachment = "~/Library/SMS/Attachments/aa/01/X/kept.png"}};
  request.categories = {ItemKind::Messages};
  request.deletedOnly = true;
  Recover();
  const fs::path folder = root / "Message" / (std::string("Unknown-") + kStamp);
  EXPECT_EQ(ListTree(folder / "Attachments"), std::set<std::string>{"kept.PNG"});
}

TEST(RecoverySummary, ProgressLineFitsOneTerminalLine) {
  RecoveryProgress p;
  p.percent = 45;
  p.processed = 3;
  p.total = 12;
  p.current = "/very/" + std::string(300, 'x') + "/IMG_0001.JPG";
  const std::string line = FormatProgressLine(p);
  EXPECT_EQ(line.rfind("\r[ 45%] 3 of 12 done, 0 failed: ...", 0), 0u) << line;
  EXPECT_TRUE(line.ends_with("/IMG_0001.JPG"));
  EXPECT_LE(line.size(), 101u);
}

}  // namespace
}  // namespace fq

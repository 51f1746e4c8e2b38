// The print window over the demo backup scanned by a ScanSession: each record
// category's page, the deleted-only state, cancel, a page that never shows an
// earlier print, the PDF and the page for the browser.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include "GuiFixtures.h"
#include "ScannedDemo.h"
#include "ScriptedDialogs.h"
#include "app/CPrintWnd.h"
#include "app/LanguageStore.h"
#include "app/WindowTexts.h"
#include "engine/ResultCodes.h"

namespace fq::app {
namespace {

namespace fs = std::filesystem;

class PrintWindow : public testing::Test {
 protected:
  void SetUp() override { test::writeProgramFolder(m_program.path()); }
  LanguageStore texts() const {
    return LanguageStore(m_program.path().string(), (m_program.path() / "user.ini").string());
  }
  PrintInput input(ItemKind kind, bool deletedOnly, const ScanResults& results, const CStatisticsObj& stats) {
    return {kind,
            deletedOnly,
            results,
            stats,
            fs::path(FERNQUILL_BIN_DIR) / "template" / "Print.html",
            m_program.path() / "work"};
  }
  // Builds the page without the modal loop and waits for it to be shown.
  static void build(CPrintWnd& window) {
    window.startBuilding();
    for (int i = 0; i < 500 && !window.built(); ++i) QTest::qWait(10);
    ASSERT_TRUE(window.built());
  }
  static std::string expected(ItemKind kind, bool deletedOnly, const ScanResults& r,
                              const CStatisticsObj& s) {
    std::string content;
    EXPECT_EQ(BuildPrintContent(kind, deletedOnly, r, s, {}, content), kOk);
    return content;
  }

  testsupport::TempFolder m_program{"fq-print-window"};
};

TEST_F(PrintWindow, EachRecordCategoryShowsItsTickedBlocks) {
  test::ScannedDemo demo;
  ASSERT_TRUE(demo.scan());
  const auto& r = demo.results();
  ASSERT_FALSE(r.contacts.empty());
  ASSERT_FALSE(r.calls.empty());
  ASSERT_FALSE(r.notes.empty());
  ASSERT_FALSE(r.conversations.empty());
  ASSERT_FALSE(r.whatsAppChats.empty());
  struct Case {
    ItemKind kind;
    const char* label;
    std::string sample;  // a record text the page shows
  };
  const Case cases[] = {
      {ItemKind::Contacts, "Name: ", r.contacts.front().name},
      {ItemKind::CallHistory, "Phone Number: ", r.calls.front().number},
      {ItemKind::Notes, "Title: ", r.notes.front().title},
      {ItemKind::Messages, "Content: ", r.conversations.begin()->second.front().text},
      {ItemKind::WhatsApp, "Chats: ", r.whatsAppChats.begin()->second.front().partnerName},
  };
  const LanguageStore store = texts();
  for (const auto& c : cases) {
    SCOPED_TRACE(CategoryName(c.kind));
    test::ScriptedDialogs dialogs;
    CPrintWnd window(store, dialogs, input(c.kind, false, r, demo.statistics), nullptr);
    EXPECT_EQ(window.size(), QSize(800, 600));
    build(window);
    EXPECT_EQ(window.content(), expected(c.kind, false, r, demo.statistics));
    EXPECT_EQ(window.findChild<QStackedWidget*>("PrintTabPage")->currentIndex(), 1);
    const QString shown = window.browser()->toPlainText();
    EXPECT_TRUE(shown.contains(c.label)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromStdString(c.sample))) << c.sample;
    // Record texts are text, never markup.
    EXPECT_FALSE(shown.contains("<p>"));
  }
}

TEST_F(PrintWindow, TheDeletedStateLeavesLiveRecordsOut) {
  test::ScannedDemo demo;
  ASSERT_TRUE(demo.scan());
  const auto& r = demo.results();
  const LanguageStore store = texts();
  for (ItemKind kind : {ItemKind::Contacts, ItemKind::Messages, ItemKind::Notes}) {
    SCOPED_TRACE(CategoryName(kind));
    test::ScriptedDialogs dialogs;
    CPrintWnd all(store, dialogs, input(kind, false, r, demo.statistics), nullptr);
    CPrintWnd deleted(store, dialogs, input(kind, true, r, demo.statistics), nullptr);
    build(all);
    build(deleted);
    EXPECT_EQ(deleted.content(), expected(kind, true, r, demo.statistics));
    EXPECT_LT(deleted.content().size(), all.content().size());
  }
  // A live contact is not on the deleted-only page.
  const auto live =
      std::find_if(r.contacts.begin(), r.contacts.end(), [](const auto& c) { return !c.deleted; });
  ASSERT_NE(live, r.contacts.end());
  test::ScriptedDialogs dialogs;
  CPrintWnd deleted(store, dialogs, input(ItemKind::Contacts, true, r, demo.statistics), nullptr);
  build(deleted);
  EXPECT_EQ(deleted.content().find(live->name), std::string::npos) << live->name;
}

TEST_F(PrintWindow, NothingTickedShowsAnEmptyPageNeverAnEarlierOne) {
  test::ScannedDemo demo;
  ASSERT_TRUE(demo.scan(RecoveryRequest{{ItemKind::Contacts}, false}));
  const auto& r = demo.results();
  const LanguageStore store = texts();
  test::ScriptedDialogs dialogs;
  {
    CPrintWnd first(store, dialogs, input(ItemKind::Contacts, false, r, demo.statistics), nullptr);
    build(first);
    ASSERT_TRUE(first.browser()->toPlainText().contains(QString::fromStdString(r.contacts.front().name)));
    EXPECT_FALSE(first.openInBrowser().isEmpty());
  }
  for (ItemKind kind : {ItemKind::Notes, ItemKind::Messages}) {
    CPrintWnd next(store, dialogs, input(kind, false, r, demo.statistics), nullptr);
    build(next);
    EXPECT_TRUE(next.content().empty());
    const QString shown = next.browser()->toPlainText();
    EXPECT_EQ(shown.trimmed(), MessageText(store, "MSG1111"));
    // The page for the browser is written afresh too.
    const QString page = next.openInBrowser();
    ASSERT_FALSE(page.isEmpty());
    std::string written;
    ASSERT_EQ(ReadTemplateFile(page.toStdString(), written), 0);
    EXPECT_EQ(written.find(r.contacts.front().name), std::string::npos);
    EXPECT_NE(written.find("Nothing of this category is ticked"), std::string::npos);
  }
  ASSERT_EQ(dialogs.urls.size(), 3u);
  EXPECT_TRUE(dialogs.urls.back().startsWith("file:///"));
  // Nothing goes beside the program.
  EXPECT_FALSE(fs::exists(fs::path(FERNQUILL_BIN_DIR) / "Print"));
}

TEST_F(PrintWindow, ClosingWhileBuildingAsksAndYesCancels) {
  // Enough records that the build is still running when the close comes.
  ScanResults many;
  for (int i = 0; i < 200000; ++i) {
    ContactRecord contact;
    contact.name = "Person " + std::to_string(i);
    many.contacts.push_back(std::move(contact));
  }
  AppFolderMap none;
  CStatisticsObj stats;
  SelectForRecovery(many, none, none, {}, stats);
  const LanguageStore store = texts();
  struct Case {
    const char* how;
    int answer;
  };
  for (const Case& c : {Case{"closebtn", kResultOk}, Case{"Escape", kResultOk}}) {
    SCOPED_TRACE(c.how);
    test::ScriptedDialogs dialogs;
    dialogs.boxAnswers = {c.answer};
    CPrintWnd window(store, dialogs, input(ItemKind::Contacts, false, many, stats), nullptr);
    const std::string how = c.how;
    QTimer::singleShot(0, &window, [&window, how] {
      if (how == "Escape") {
        QTest::keyClick(&window, Qt::Key_Escape);
      } else {
        QTest::mouseClick(window.findChild<QToolButton*>("closebtn"), Qt::LeftButton);
      }
    });
    EXPECT_EQ(window.runPrint(), kResultCancel);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].kind, kQuestion);
    EXPECT_EQ(dialogs.boxes[0].text, "Do you want to cancel?");
    EXPECT_FALSE(window.built());
  }
}

TEST_F(PrintWindow, SavesANonEmptyPdf) {
  test::ScannedDemo demo;
  ASSERT_TRUE(demo.scan());
  const LanguageStore store = texts();
  test::ScriptedDialogs dialogs;
  CPrintWnd window(store, dialogs, input(ItemKind::Contacts, false, demo.results(), demo.statistics),
                   nullptr);
  const fs::path pdf = m_program.path() / "contacts.pdf";
  window.setPdfFilePicker([&pdf] { return QString::fromStdString(pdf.string()); });
  build(window);
  QTest::mouseClick(window.findChild<QPushButton*>("BtnSavePdf"), Qt::LeftButton);
  EXPECT_TRUE(dialogs.boxes.empty());
  std::string bytes;
  ASSERT_EQ(ReadTemplateFile(pdf, bytes), 0);
  EXPECT_GT(bytes.size(), 1000u);
  EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
  // A file that cannot be written is said so.
  window.setPdfFilePicker(
      [this] { return QString::fromStdString((m_program.path() / "no/such/dir/x.pdf").string()); });
  QTest::mouseClick(window.findChild<QPushButton*>("BtnSavePdf"), Qt::LeftButton);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].kind, kError);
}

}  // namespace
}  // namespace fq::app

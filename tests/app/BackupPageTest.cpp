#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <thread>

#include "GuiFixtures.h"
#include "ScriptedDialogs.h"
#include "app/CItunesBackupVrtWnd.h"
#include "app/CMainWnd.h"
#include "app/CScanVrtWnd.h"
#include "app/CWndShadow.h"
#include "app/LanguageStore.h"
#include "engine/session/BackupStore.h"
#include "engine/session/WorkFolders.h"
#include "tests/session/SessionFixtures.h"
#include "tests/support/TempFolder.h"

namespace fq::app {
namespace {

using test::BackupSpec;

class BackupPage : public testing::Test {
 protected:
  void SetUp() override { test::writeProgramFolder(m_folder.path()); }
  // The page's scans stay in their Open until the test ends: what the tests
  // look at is the request, not a scan racing them with its own events.
  void TearDown() override { m_release = true; }

  void addBackup(const BackupSpec& spec) { test::writeBackup(root(), spec); }
  std::filesystem::path root() const { return m_folder / "data/Apple Computer/MobileSync/backup"; }

  // Builds the window over what the backup root holds now.
  CMainWnd& window() {
    m_texts = std::make_unique<LanguageStore>(m_folder.path().string(), (m_folder / "user.ini").string());
    m_work = std::make_unique<WorkFolders>(m_folder / "data");
    m_store = std::make_unique<BackupStore>(*m_work, root());
    m_main = std::make_unique<CMainWnd>(*m_texts, m_dialogs, *m_store);
    m_main->scanPage().setRecoveryMaker([this](int) {
      auto held = std::make_unique<testsupport::FakeRecovery>();
      held->openReports = {};
      held->duringOpen = [this] {
        while (!m_release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      };
      return held;
    });
    m_main->findChild<QPushButton*>("OptBackupFile")->click();
    return *m_main;
  }
  QTreeView* list() const { return m_main->findChild<QTreeView*>("BackupFileList"); }
  QPushButton* button(const char* name) const { return m_main->findChild<QPushButton*>(name); }
  const std::vector<CScanVrtWnd::Request>& requests() const { return m_main->scanPage().requests(); }
  void deliver() { QCoreApplication::sendPostedEvents(m_main.get()); }

  std::atomic<bool> m_release{false};
  testsupport::TempFolder m_folder{"fq-gui"};
  test::ScriptedDialogs m_dialogs;
  std::unique_ptr<LanguageStore> m_texts;
  std::unique_ptr<WorkFolders> m_work;
  std::unique_ptr<BackupStore> m_store;
  std::unique_ptr<CMainWnd> m_main;
};

TEST_F(BackupPage, ListsBackupsNewestFirstWithTheirLockAndFirstRowSelected) {
  addBackup({"aaaa", "Older Phone", "2019-01-02T03:04:05Z", false});
  addBackup({"bbbb", "Newer <b>Phone</b>", "2021-06-07T08:09:10Z", true});
  window();
  const auto* model = list()->model();
  ASSERT_EQ(model->rowCount(), 2);
  EXPECT_EQ(model->columnCount(), 3);
  EXPECT_EQ(model->index(0, 0).data().toString(), QStringLiteral("Newer <b>Phone</b>"));
  EXPECT_TRUE(model->index(0, 0).data(Qt::UserRole).toBool());
  EXPECT_FALSE(model->index(1, 0).data(Qt::UserRole).toBool());
  EXPECT_EQ(model->index(1, 2).data().toString(), QStringLiteral("SN-aaaa"));
  EXPECT_TRUE(model->index(0, 1).data().toString().startsWith(QStringLiteral("2021-06-0")));
  EXPECT_EQ(list()->currentIndex().row(), 0);
  EXPECT_TRUE(button("BtnScan")->isEnabled());
}

TEST_F(BackupPage, EmptyRootDisablesScanButLeavesTheFolderPicker) {
  window();
  EXPECT_EQ(list()->model()->rowCount(), 0);
  EXPECT_FALSE(button("BtnScan")->isEnabled());
  EXPECT_TRUE(button("BtnSelDir")->isEnabled());
}

TEST_F(BackupPage, ListIsReadAgainWhenThePageShows) {
  window();
  addBackup({"cccc", "Late Phone", "2020-01-01T00:00:00Z", false});
  m_main->backupPage().refresh();
  EXPECT_EQ(list()->model()->rowCount(), 1);
  EXPECT_TRUE(button("BtnScan")->isEnabled());
}

TEST_F(BackupPage, PlainBackupStartsAScanAtOnceAndDoubleClickTakesTheSamePath) {
  addBackup({"aaaa", "Plain Phone", "2019-01-02T03:04:05Z", false});
  window();
  m_main->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(m_main.get()));
  const QRect row = list()->visualRect(list()->model()->index(0, 0));
  QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, row.center());
  QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, row.center());
  deliver();
  ASSERT_EQ(requests().size(), 1u);
  EXPECT_EQ(requests()[0].source, 1);
  EXPECT_EQ(requests()[0].backup.displayName, "Plain Phone");
  EXPECT_EQ(m_store->selectedBackup().displayName, "Plain Phone");
  EXPECT_TRUE(m_dialogs.passwordModes.empty());
  // Both source pages stay disabled while the scan starts.
  EXPECT_FALSE(button("BtnScan")->isEnabled());
  EXPECT_FALSE(button("OptIosDevice")->isEnabled());
}

TEST_F(BackupPage, PasswordStepCancelEmptyAndRetry) {
  addBackup({"bbbb", "Locked Phone", "2021-06-07T08:09:10Z", true});
  window();
  // Cancel: nothing starts, the page is usable again.
  button("BtnScan")->click();
  deliver();
  EXPECT_EQ(m_dialogs.passwordModes, std::vector<int>{1});
  EXPECT_TRUE(requests().empty());
  EXPECT_TRUE(button("BtnScan")->isEnabled());

  // Empty, the warning, then a password: one scan with the password.
  m_dialogs.passwordAnswers = {{kResultOk, ""}, {kResultOk, "secret"}};
  button("BtnScan")->click();
  deliver();
  ASSERT_EQ(m_dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_dialogs.boxes[0].kind, kWarning);
  EXPECT_EQ(m_dialogs.boxes[0].text, QStringLiteral("T-empty-password"));
  ASSERT_EQ(requests().size(), 1u);
  EXPECT_TRUE(requests()[0].withPassword);
}

TEST_F(BackupPage, ClosingTheEmptyPasswordWarningCancels) {
  addBackup({"bbbb", "Locked Phone", "2021-06-07T08:09:10Z", true});
  window();
  m_dialogs.passwordAnswers = {{kResultOk, ""}};
  m_dialogs.boxAnswers = {kResultCancel};
  button("BtnScan")->click();
  deliver();
  EXPECT_TRUE(requests().empty());
  EXPECT_TRUE(button("BtnScan")->isEnabled());
}

TEST_F(BackupPage, FailedOpenNamesTheCauseAndEnablesThePage) {
  addBackup({"aaaa", "Plain Phone", "2019-01-02T03:04:05Z", false});
  window();
  EXPECT_FALSE(m_main->busy());
  button("BtnScan")->click();
  deliver();
  ASSERT_EQ(requests().size(), 1u);
  // Busy until the Open answers.
  EXPECT_TRUE(m_main->busy());
  // A second request while the first one opens is ignored.
  m_main->postEvent(kMsgStartScan, 0);
  deliver();
  EXPECT_EQ(requests().size(), 1u);

  m_main->postEvent(kMsgScanEvent, kScanEventFailed);
  deliver();
  ASSERT_EQ(m_dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_dialogs.boxes[0].kind, kError);
  EXPECT_FALSE(m_dialogs.boxes[0].text.isEmpty());
  EXPECT_TRUE(button("BtnScan")->isEnabled());
  EXPECT_TRUE(button("OptIosDevice")->isEnabled());
  EXPECT_FALSE(m_main->scanStarting());
  EXPECT_FALSE(m_main->busy());
}

TEST_F(BackupPage, SourcePagesStayDisabledUntilTheScanEnds) {
  addBackup({"aaaa", "Plain Phone", "2019-01-02T03:04:05Z", false});
  window();
  button("BtnScan")->click();
  deliver();
  EXPECT_TRUE(m_main->busy());
  m_main->postEvent(kMsgScanEvent, kScanEventFirstProgress);
  deliver();
  EXPECT_FALSE(m_main->busy());
  EXPECT_EQ(m_main->findChild<QStackedWidget*>("MainTabPage")->currentIndex(), 1);
  EXPECT_FALSE(button("BtnScan")->isEnabled());
  m_main->postEvent(kMsgStartScan, 1);
  deliver();
  EXPECT_EQ(requests().size(), 1u);
  m_main->postEvent(kMsgScanEnded, 0);
  deliver();
  EXPECT_TRUE(button("BtnScan")->isEnabled());
  EXPECT_FALSE(m_main->scanStarting());
}

TEST_F(BackupPage, WrongPasswordAsksAgainAndRestarts) {
  addBackup({"bbbb", "Locked Phone", "2021-06-07T08:09:10Z", true});
  window();
  m_dialogs.passwordAnswers = {{kResultOk, "wrong"}, {kResultOk, "right"}};
  button("BtnScan")->click();
  deliver();
  m_main->postEvent(kMsgScanEvent, kScanEventWrongPassword);
  deliver();
  deliver();
  ASSERT_EQ(m_dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_dialogs.boxes[0].kind, kInformation);
  EXPECT_EQ(m_dialogs.boxes[0].text, QStringLiteral("T-encrypted"));
  EXPECT_EQ(requests().size(), 2u);
  // The second Open is waited for as the first.
  EXPECT_TRUE(m_main->busy());
}

TEST_F(BackupPage, FolderWithoutInfoPlistAsksToRetry) {
  addBackup({"dddd", "Elsewhere", "2018-01-01T00:00:00Z", false});
  window();
  const auto notBackup = m_folder / "not-a-backup";
  std::filesystem::create_directories(notBackup);
  m_dialogs.folderAnswers = {QString::fromStdString(notBackup.string()),
                             QString::fromStdString((root() / "dddd").string())};
  m_dialogs.boxAnswers = {kResultOk};
  button("BtnSelDir")->click();
  deliver();
  EXPECT_EQ(m_dialogs.pickerTitles.size(), 2u);
  ASSERT_EQ(m_dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_dialogs.boxes[0].kind, kQuestion);
  ASSERT_EQ(requests().size(), 1u);
  EXPECT_EQ(requests()[0].backup.displayName, "Elsewhere");
}

TEST_F(BackupPage, FolderFromTheCommandLineStartsItsScanAfterThePassword) {
  addBackup({"aaaa", "Plain Phone", "2019-01-02T03:04:05Z", false});
  addBackup({"bbbb", "Locked Phone", "2021-06-07T08:09:10Z", true});
  window();
  EXPECT_FALSE(m_main->openBackupFolder(QString::fromStdString((m_folder / "nowhere").string())));
  ASSERT_EQ(m_dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_dialogs.boxes[0].kind, kError);

  m_dialogs.passwordAnswers = {{kResultOk, "secret"}};
  EXPECT_TRUE(m_main->openBackupFolder(QString::fromStdString((root() / "bbbb").string())));
  deliver();
  EXPECT_EQ(m_dialogs.passwordModes, std::vector<int>{1});
  ASSERT_EQ(requests().size(), 1u);
  EXPECT_EQ(requests()[0].backup.displayName, "Locked Phone");
  EXPECT_TRUE(requests()[0].withPassword);
  EXPECT_EQ(m_store->selectedBackup().displayName, "Locked Phone");
}

TEST_F(BackupPage, WithoutACompositorTheEdgeIsABorderNotAShadow) {
  // The offscreen platform composites nothing: a translucent margin would be black.
  ASSERT_FALSE(CWndShadow::Composited());
  window();
  m_main->show();
  const QImage picture = m_main->grab().toImage();
  EXPECT_FALSE(m_main->testAttribute(Qt::WA_TranslucentBackground));
  EXPECT_EQ(picture.pixelColor(0, 300).alpha(), 255);
  EXPECT_LT(picture.pixelColor(0, 300).lightness(), picture.pixelColor(2, 300).lightness());
  EXPECT_EQ(picture.pixelColor(2, 300), picture.pixelColor(3, 300));
}

TEST_F(BackupPage, EscapeAndEnterDoNotCloseTheMainWindow) {
  window();
  m_main->show();
  QTest::keyClick(m_main.get(), Qt::Key_Escape);
  QTest::keyClick(m_main.get(), Qt::Key_Return);
  EXPECT_TRUE(m_main->isVisible());
}

TEST_F(BackupPage, AssistMenuHidesFaqAndLanguageAndOpensPagesThroughTheHost) {
  window();
  QMenu& menu = m_main->assistMenu();
  emit menu.aboutToShow();
  EXPECT_FALSE(menu.findChild<QAction*>("item_faq")->isVisible());
  EXPECT_FALSE(m_main->findChild<QAction*>("item_language")->isVisible());
  EXPECT_TRUE(menu.findChild<QAction*>("item_about")->isVisible());
  menu.findChild<QAction*>("item_help")->trigger();
  EXPECT_EQ(m_dialogs.urls.size(), 1u);
}

}  // namespace
}  // namespace fq::app

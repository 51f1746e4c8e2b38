// From the window, end to end: a backup picked on the backup page, scanned,
// two categories kept ticked, recovered through the folder picker and the
// recovery window; the files equal those of a job run directly on the same
// selection, and the backup is left as it was.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <regex>
#include <string>

#include "FinishWhenDone.h"
#include "GuiFixtures.h"
#include "ScriptedDialogs.h"
#include "app/CFileTreeCtrl.h"
#include "app/CIosDeviceVrtWnd.h"
#include "app/CMainWnd.h"
#include "app/CScanVrtWnd.h"
#include "app/LanguageStore.h"
#include "device/CDeviceBackupDriver.h"
#include "engine/ResultCodes.h"
#include "engine/session/BackupStore.h"
#include "engine/session/WorkFolders.h"
#include "output/RecoveryJob.h"
#include "output/ReportTemplates.h"
#include "tests/device/SimulatedDevice.h"
#include "tests/support/FolderSnapshot.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/DemoBackup.h"

namespace fq::app {
namespace {

namespace fs = std::filesystem;

// What a recovery wrote, by relative path: the kind and the content's hash.
// The index page names the program that wrote it and is left out.
std::map<std::string, std::string> Written(const fs::path& folder) {
  std::map<std::string, std::string> written;
  for (const auto& [path, entry] : testsupport::SnapshotFolder(folder))
    if (path != "index.html") written[path] = entry.kind + " " + entry.sha256;
  return written;
}

// The run's stamp, read off the folder the contacts went to.
std::string StampOf(const fs::path& output) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(output / "Contacts", ec)) {
    const std::string name = entry.path().filename().string();
    if (std::regex_match(name, std::regex("[0-9]{14}"))) return name;
  }
  return {};
}

// Waits until every category of the ended scan reached the page, then keeps
// only `keep` ticked, through the tree's boxes.
void KeepTicked(CScanVrtWnd& page, std::initializer_list<ScanCategory> keep) {
  CFileTreeCtrl& tree = page.treeModel();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        for (const auto& c : kScanCategoryTable)
          if (!tree.isReady(c.category)) return false;
        return true;
      },
      20000));
  for (const auto& c : kScanCategoryTable) {
    const bool kept = std::find(keep.begin(), keep.end(), c.category) != keep.end();
    const QModelIndex node = tree.indexOf(c.category);
    if (node.isValid()) tree.setData(node, kept ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
  }
}

// The main window over the test's own backup root, its folder picker
// answering `out`.
class WindowRecovery : public testing::Test {
 protected:
  void SetUp() override { fs::create_directories(out); }
  fs::path root() const { return m_folder / "data/Apple Computer/MobileSync/backup"; }
  CMainWnd& openWindow() {
    dialogs.folderAnswers = {QString::fromStdString(out.string())};
    store.RereadBackupRoot();  // the backups a test wrote after the store was made
    m_main = std::make_unique<CMainWnd>(texts, dialogs, store);
    m_main->scanPage().session().setFirstReportPause(std::chrono::milliseconds(0));
    m_main->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(m_main.get()));
    return *m_main;
  }

  testsupport::TempFolder m_folder{"fq-window-recovery"};
  const fs::path out = m_folder / "out";
  LanguageStore texts{FERNQUILL_BIN_DIR, (m_folder / "user.ini").string()};
  test::ScriptedDialogs dialogs;
  WorkFolders work{m_folder / "data"};
  BackupStore store{work, root()};

 private:
  std::unique_ptr<CMainWnd> m_main;
};

TEST_F(WindowRecovery, MessagesAndContactsFromTheWindowEqualADirectJob) {
  std::string error;
  ASSERT_TRUE(builder::WriteDemoBackup(root() / "demo", builder::ManifestFormat::Db, &error)) << error;
  const testsupport::FolderSnapshot backupBefore = testsupport::SnapshotFolder(root());
  CMainWnd& main = openWindow();
  CScanVrtWnd& page = main.scanPage();

  // The backup page: pick the backup, Scan.
  QTest::mouseClick(main.findChild<QPushButton*>("OptBackupFile"), Qt::LeftButton);
  auto* backups = main.findChild<QTreeView*>("BackupFileList");
  ASSERT_EQ(backups->model()->rowCount(), 1);
  const QRect row = backups->visualRect(backups->model()->index(0, 0));
  QTest::mouseClick(backups->viewport(), Qt::LeftButton, {}, row.center());
  QTest::mouseClick(main.findChild<QPushButton*>("BtnScan"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.scanEnded() && page.session().finished(); }, 120000));
  QCoreApplication::processEvents();
  ASSERT_EQ(page.session().result(), kOk) << page.session().outcome().reason;

  // Everything unticked but Messages and Contacts.
  ASSERT_NO_FATAL_FAILURE(KeepTicked(page, {ScanCategory::Messages, ScanCategory::Contacts}));
  const size_t items = page.statistics().RecoveryItems().size();
  ASSERT_GT(items, 2u);

  // Recover: the picker answers `out`; Finish once the window shows it.
  auto* recover = main.findChild<QPushButton*>("BtnRecovery");
  ASSERT_TRUE(recover->isEnabled());
  {
    test::FinishWhenDone finish;
    QTest::mouseClick(recover, Qt::LeftButton);
  }
  EXPECT_TRUE(dialogs.folderAnswers.empty());
  EXPECT_TRUE(dialogs.boxes.empty());
  ASSERT_TRUE(fs::is_regular_file(out / "index.html"));
  const std::string stamp = StampOf(out);
  ASSERT_FALSE(stamp.empty());

  // The same selection written by a job run directly, with the same stamp.
  const fs::path direct = m_folder / "direct";
  fs::create_directories(direct);
  ReportTemplates templates;
  ASSERT_EQ(LoadReportTemplates(fs::path(FERNQUILL_BIN_DIR) / "template", store.selectedBackup().displayName,
                                templates),
            0);
  RecoveryJob job(direct, page.session().results(), page.statistics(), *page.session().recovery(), templates);
  job.SetStamp(stamp);
  job.Run();
  EXPECT_EQ(job.Progress().failed, 0u);

  const auto fromWindow = Written(out);
  EXPECT_EQ(fromWindow, Written(direct));
  // Only the two categories were written.
  for (const auto& [path, what] : fromWindow) {
    const std::string top = fs::path(path).begin()->string();
    EXPECT_TRUE(top == "Message" || top == "Contacts") << path;
  }
  EXPECT_TRUE(fs::is_directory(out / "Message"));
  EXPECT_EQ(testsupport::SnapshotFolder(root()), backupBefore);
}

// A phone's fresh backup, scanned from the device page and its Contacts
// recovered from the window.
TEST_F(WindowRecovery, ContactsOfADeviceScanFromTheWindow) {
  const fs::path staging = m_folder / "phone";
  std::string error;
  ASSERT_TRUE(builder::WriteDemoBackup(staging, builder::ManifestFormat::Db, &error)) << error;
  fq::test::SimulatedDevice device({"--backup-dir", staging.string(), "--name", "Test Phone"});
  ASSERT_TRUE(device.Started()) << device.Error();
  DeviceDriverTimings timings;
  timings.emptyPollPauseMs = 50;
  timings.syncLockRetryMs = 10;
  CDeviceBackupDriver::Instance().SetTimings(timings);
  CMainWnd& main = openWindow();
  CScanVrtWnd& page = main.scanPage();

  // The device page shows the phone; Start Scan backs it up and scans it.
  ASSERT_TRUE(QTest::qWaitFor([&] { return main.devicePage().panel() == 2; }, 20000));
  QTest::mouseClick(main.findChild<QPushButton*>("BtnDeviceScan"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !page.scanEnded(); }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.scanEnded() && page.session().finished(); }, 120000));
  QCoreApplication::processEvents();
  ASSERT_EQ(page.session().result(), kOk) << page.session().outcome().reason;
  EXPECT_FALSE(page.session().results().contacts.empty());

  ASSERT_NO_FATAL_FAILURE(KeepTicked(page, {ScanCategory::Contacts}));
  {
    test::FinishWhenDone finish;
    QTest::mouseClick(main.findChild<QPushButton*>("BtnRecovery"), Qt::LeftButton);
  }
  EXPECT_TRUE(dialogs.boxes.empty());
  ASSERT_TRUE(fs::is_regular_file(out / "index.html"));
  const std::string stamp = StampOf(out);
  ASSERT_FALSE(stamp.empty());
  EXPECT_TRUE(fs::is_regular_file(out / "Contacts" / stamp / "Contacts.html"));
  for (const auto& [path, what] : Written(out))
    EXPECT_EQ(fs::path(path).begin()->string(), "Contacts") << path;
}

}  // namespace
}  // namespace fq::app

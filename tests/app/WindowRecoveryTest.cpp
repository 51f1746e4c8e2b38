// From the window, end to end: a backup picked on the backup page, scanned,
// two categories kept ticked, recovered through the folder picker and the
// recovery window; the files equal those of a job run directly on the same
// selection, and the backup is left as it was.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <string>

#include "GuiFixtures.h"
#include "ScriptedDialogs.h"
#include "app/CFileTreeCtrl.h"
#include "app/CMainWnd.h"
#include "app/CScanVrtWnd.h"
#include "app/LanguageStore.h"
#include "engine/ResultCodes.h"
#include "engine/session/BackupStore.h"
#include "engine/session/WorkFolders.h"
#include "output/RecoveryJob.h"
#include "output/ReportTemplates.h"
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

class WindowRecovery : public testing::Test {
 protected:
  fs::path root() const { return m_folder / "data/Apple Computer/MobileSync/backup"; }

  testsupport::TempFolder m_folder{"fq-window-recovery"};
};

TEST_F(WindowRecovery, MessagesAndContactsFromTheWindowEqualADirectJob) {
  std::string error;
  ASSERT_TRUE(builder::WriteDemoBackup(root() / "demo", builder::ManifestFormat::Db, &error)) << error;
  const testsupport::FolderSnapshot backupBefore = testsupport::SnapshotFolder(root());
  const fs::path out = m_folder / "out";
  fs::create_directories(out);

  LanguageStore texts(FERNQUILL_BIN_DIR, (m_folder / "user.ini").string());
  test::ScriptedDialogs dialogs;
  dialogs.folderAnswers = {QString::fromStdString(out.string())};
  WorkFolders work(m_folder / "data");
  BackupStore store(work, root());
  CMainWnd main(texts, dialogs, store);
  CScanVrtWnd& page = main.scanPage();
  page.session().setFirstReportPause(std::chrono::milliseconds(0));
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));

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

  // Everything unticked but Messages and Contacts, through the tree's boxes,
  // once every category has reached the page.
  CFileTreeCtrl& tree = page.treeModel();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        for (const auto& c : kScanCategoryTable)
          if (!tree.isReady(c.category)) return false;
        return true;
      },
      20000));
  for (const auto& c : kScanCategoryTable) {
    const bool keep = c.category == ScanCategory::Messages || c.category == ScanCategory::Contacts;
    const QModelIndex node = tree.indexOf(c.category);
    if (node.isValid()) tree.setData(node, keep ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
  }
  const size_t items = page.statistics().RecoveryItems().size();
  ASSERT_GT(items, 2u);

  // Recover: the picker answers `out`; Finish once the window shows it.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* finish =
          w->objectName() == "RecoverProcessWnd" ? w->findChild<QPushButton*>("FinishBtn") : nullptr;
      if (finish && finish->isVisible()) QTest::mouseClick(finish, Qt::LeftButton);
    }
  });
  poll.start(20);
  auto* recover = main.findChild<QPushButton*>("BtnRecovery");
  ASSERT_TRUE(recover->isEnabled());
  QTest::mouseClick(recover, Qt::LeftButton);
  poll.stop();
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

}  // namespace
}  // namespace fq::app

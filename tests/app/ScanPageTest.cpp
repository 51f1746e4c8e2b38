#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <thread>

#include "GuiFixtures.h"
#include "ScriptedDialogs.h"
#include "app/CFileListCtrl.h"
#include "app/CFileTreeCtrl.h"
#include "app/CMainWnd.h"
#include "app/CScanVrtWnd.h"
#include "app/LanguageStore.h"
#include "engine/ResultCodes.h"
#include "engine/session/BackupStore.h"
#include "engine/session/WorkFolders.h"
#include "output/ItemKind.h"
#include "tests/session/SessionFixtures.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/DemoBackup.h"

namespace fq::app {
namespace {

using testsupport::FakeRecovery;

// Messages: a conversation whose first message is live and a later one
// deleted, and one with nothing deleted.
class ChatsRecovery : public FakeRecovery {
 public:
  int32_t ScanMessages(ConversationMap& conversations) override {
    MessageRecord live;
    live.text = "hello";
    live.contactName = "Ann";
    MessageRecord gone = live;
    gone.deleted = 1;
    gone.text = "gone";
    conversations[1] = {live, gone};
    conversations[2] = {live};
    return FakeRecovery::ScanMessages(conversations);
  }
};

class ScanPage : public testing::Test {
 protected:
  void SetUp() override { test::writeProgramFolder(m_folder.path()); }
  void TearDown() override { m_release = true; }

  std::filesystem::path root() const { return m_folder / "data/Apple Computer/MobileSync/backup"; }

  CMainWnd& window() {
    // The window refers to the store and texts: it goes first.
    m_main.reset();
    m_store.reset();
    m_work.reset();
    m_texts = std::make_unique<LanguageStore>(m_folder.path().string(), (m_folder / "user.ini").string());
    m_work = std::make_unique<WorkFolders>(m_folder / "data");
    m_store = std::make_unique<BackupStore>(*m_work, root());
    m_main = std::make_unique<CMainWnd>(*m_texts, m_dialogs, *m_store);
    m_main->scanPage().session().setFirstReportPause(std::chrono::milliseconds(0));
    return *m_main;
  }
  CScanVrtWnd& page() const { return m_main->scanPage(); }
  template <class T>
  T* control(const char* name) const {
    return m_main->findChild<T*>(QString::fromLatin1(name));
  }

  // The demo backup, scanned by the real engine to its end.
  void scanDemo() {
    std::string error;
    ASSERT_TRUE(builder::WriteDemoBackup(root() / "demo", builder::ManifestFormat::Db, &error)) << error;
    window();
    m_store->RereadBackupRoot();
    std::vector<BackupInfo> backups;
    m_store->ListBackups(backups);
    ASSERT_EQ(backups.size(), 1u);
    page().setBackup(backups[0]);
    m_main->postEvent(kMsgStartScan, 1);
    QCoreApplication::sendPostedEvents(m_main.get());
    ASSERT_FALSE(page().scanEnded());
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return page().scanEnded() && page().session().finished(); }, 120000));
    QCoreApplication::processEvents();
    ASSERT_EQ(page().session().result(), kOk) << page().session().outcome().reason;
  }

  // A scan on a fake that fills Contacts and Messages and then stays in its
  // Notes step until the test releases it or the scan is cancelled.
  void scanHeld() {
    window();
    page().setRecoveryMaker([this](int) {
      auto fake = std::make_unique<ChatsRecovery>();
      fake->fillContacts = true;
      fake->duringCategory = [this](int order) {
        if (order != 5) return;
        m_held = true;
        while (!m_release && !page().session().cancelRequested())
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
      };
      return fake;
    });
    m_main->postEvent(kMsgStartScan, 1);
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_held.load(); }, 20000));
    // The categories handed over before the hold reach the page.
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return page().treeModel().isReady(ScanCategory::Contacts); }, 20000));
  }

  void select(ScanCategory category) {
    auto* tree = control<QTreeView>("NodeTree");
    tree->setCurrentIndex(page().treeModel().indexOf(category));
    ASSERT_EQ(page().currentCategory(), category);
  }
  QStringList headers() const {
    QStringList titles;
    const auto& model = page().listModel();
    for (int c = 1; c < model.columnCount(); ++c)
      titles << model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    return titles;
  }

  std::atomic<bool> m_release{false};
  std::atomic<bool> m_held{false};
  testsupport::TempFolder m_folder{"fq-scanpage"};
  test::ScriptedDialogs m_dialogs;
  std::unique_ptr<LanguageStore> m_texts;
  std::unique_ptr<WorkFolders> m_work;
  std::unique_ptr<BackupStore> m_store;
  std::unique_ptr<CMainWnd> m_main;
};

size_t Conversations(const ConversationMap& map) {
  size_t n = 0;
  for (const auto& [k, v] : map) n += !v.empty();
  return n;
}
size_t Chats(const WhatsAppChatMap& map) {
  size_t n = 0;
  for (const auto& [k, v] : map) n += !v.empty();
  return n;
}
size_t Files(const AppFolderMap& map) {
  size_t n = 0;
  for (const auto& [k, v] : map) n += v.size();
  return n;
}

TEST_F(ScanPage, DemoScanTreeCountsEqualStatisticsAndLists) {
  scanDemo();
  const ScanResults& r = page().session().results();
  const AppFileSplit& split = page().appFiles();
  const std::pair<ScanCategory, size_t> expected[] = {
      {ScanCategory::CameraRoll, r.cameraRoll.size()},
      {ScanCategory::PhotoStream, r.photoStream.size()},
      {ScanCategory::Messages, Conversations(r.conversations)},
      {ScanCategory::MessagesAttachments, r.messageAttachments.size()},
      {ScanCategory::Contacts, r.contacts.size()},
      {ScanCategory::CallHistory, r.calls.size()},
      {ScanCategory::Notes, r.notes.size()},
      {ScanCategory::AppPhotos, Files(split.photos)},
      {ScanCategory::AppVideos, Files(split.videos)},
      {ScanCategory::WhatsApp, Chats(r.whatsAppChats)},
      {ScanCategory::WhatsAppAttachments, r.whatsAppAttachments.size()},
  };
  size_t total = 0;
  for (const auto& [category, size] : expected) {
    SCOPED_TRACE(std::string(CategoryName(category)));
    const auto& tree = page().treeModel();
    EXPECT_EQ(static_cast<size_t>(tree.countOf(category)), size);
    EXPECT_EQ(page().statistics().CategoryCounter(ItemKindOf(category)).total, size);
    EXPECT_EQ(tree.data(tree.indexOf(category), Qt::DisplayRole).toString(),
              QStringLiteral("%1 (%2)")
                  .arg(QString::fromUtf8(CategoryName(category).data(),
                                         static_cast<int>(CategoryName(category).size())))
                  .arg(size));
    EXPECT_EQ(tree.flags(tree.indexOf(category)).testFlag(Qt::ItemIsEnabled), size > 0);
    total += size;
  }
  // The demo backup fills the record categories (the figures above are not all zero).
  EXPECT_GT(Conversations(r.conversations), 0u);
  EXPECT_GT(r.contacts.size(), 0u);
  EXPECT_EQ(page().statistics().Root().total, total);
  // The first category with items was opened; its list holds one row per item.
  ASSERT_TRUE(page().currentCategory().has_value());
  EXPECT_EQ(static_cast<size_t>(page().listModel().rowCount()),
            page().statistics().CategoryCounter(ItemKindOf(*page().currentCategory())).total);
  select(ScanCategory::Messages);
  EXPECT_EQ(static_cast<size_t>(page().listModel().rowCount()), Conversations(r.conversations));
  // Every row is 30 pixels high, whatever the scale.
  EXPECT_EQ(control<QTableView>("DataList")->verticalHeader()->defaultSectionSize(), 30);
  EXPECT_EQ(control<QLabel>("LblStatistics")->text().section(QLatin1Char('|'), 3), QString::number(total));
  EXPECT_TRUE(control<QPushButton>("BtnRecovery")->isEnabled());
}

TEST_F(ScanPage, ColumnsPerCategory) {
  scanDemo();
  const std::pair<ScanCategory, QStringList> cases[] = {
      {ScanCategory::CameraRoll, {"File Name", "File Size"}},
      {ScanCategory::MessagesAttachments, {"File Name", "File Size"}},
      {ScanCategory::AppPhotos, {"App Name", "Type"}},
      {ScanCategory::Messages, {"User Name", "Phone Number", "Date", "Message"}},
      {ScanCategory::Contacts, {"Name", "Company", "Phone", "Email", "Home Page"}},
      {ScanCategory::CallHistory, {"User Name", "Phone Number", "Date", "Call Status", "Duration", "Status"}},
      {ScanCategory::Notes, {"Title", "Date", "Note"}},
      {ScanCategory::WhatsApp, {"Chats", "Name", "Phone"}},
  };
  for (const auto& [category, titles] : cases) {
    SCOPED_TRACE(std::string(CategoryName(category)));
    if (page().treeModel().countOf(category) == 0) {
      ADD_FAILURE() << "the demo backup has none";
      continue;
    }
    select(category);
    EXPECT_EQ(headers(), titles);
    EXPECT_EQ(control<QWidget>("FilterToolBar")->isVisibleTo(control<QWidget>("DataListLayout")),
              IsRecordCategory(ItemKindOf(category)));
  }
  // An application row opens the application's files.
  select(ScanCategory::AppPhotos);
  auto* list = control<QTableView>("DataList");
  emit list->doubleClicked(page().listModel().index(0, 1));
  EXPECT_EQ(headers(), (QStringList{"File Name", "App Name", "Size"}));
  ASSERT_NE(page().listedAppFiles(), nullptr);
  EXPECT_EQ(static_cast<size_t>(page().listModel().rowCount()), page().listedAppFiles()->size());
  control<QPushButton>("BtnBackAppDir")->click();
  EXPECT_EQ(headers(), (QStringList{"App Name", "Type"}));
}

TEST_F(ScanPage, RowAndNodeChecksPropagate) {
  scanDemo();
  select(ScanCategory::Contacts);
  auto& list = page().listModel();
  auto& tree = page().treeModel();
  const QModelIndex node = tree.indexOf(ScanCategory::Contacts);
  const int rows = list.rowCount();
  ASSERT_GE(rows, 2);
  const uint32_t selectedBefore = page().statistics().Root().selected;
  EXPECT_EQ(tree.data(node, Qt::CheckStateRole).toInt(), Qt::Checked);

  ASSERT_TRUE(list.setData(list.index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
  EXPECT_EQ(tree.data(node, Qt::CheckStateRole).toInt(), Qt::PartiallyChecked);
  EXPECT_EQ(page().statistics().Root().selected, selectedBefore - 1);
  EXPECT_EQ(control<QLabel>("LblStatistics")->text().section(QLatin1Char('|'), 1, 1),
            QString::number(selectedBefore - 1));

  for (int row = 1; row < rows; ++row) list.toggle(row);
  EXPECT_EQ(tree.data(node, Qt::CheckStateRole).toInt(), Qt::Unchecked);

  // The node's box ticks every row of the listed category.
  ASSERT_TRUE(tree.setData(node, Qt::Checked, Qt::CheckStateRole));
  for (int row = 0; row < rows; ++row)
    EXPECT_EQ(list.data(list.index(row, 0), Qt::CheckStateRole).toInt(), Qt::Checked);
  EXPECT_EQ(page().statistics().Root().selected, selectedBefore);
}

TEST_F(ScanPage, EachNodeKeepsItsFilterStateAndDeletedConversationsStayListed) {
  scanHeld();
  select(ScanCategory::Messages);
  auto& list = page().listModel();
  ASSERT_EQ(list.rowCount(), 2);
  // The first conversation's first message is live, a later one deleted: its row is a deleted one.
  EXPECT_TRUE(list.isDeleted(0));
  EXPECT_EQ(list.data(list.index(0, 1), Qt::ForegroundRole).value<QColor>(), QColor::fromRgba(0xFFF37302));
  EXPECT_FALSE(list.isDeleted(1));

  control<QCheckBox>("OptOnOffFilter")->setChecked(true);
  EXPECT_EQ(list.rowCount(), 1);
  EXPECT_TRUE(list.isDeleted(0));
  EXPECT_EQ(list.sourceRow(0), 0);
  auto* count = control<QLabel>("LblFilterCount");
  EXPECT_FALSE(count->isHidden());
  EXPECT_EQ(count->text(), QStringLiteral("Files Filtered: 1 item(s)"));
  const auto& tree = page().treeModel();
  EXPECT_EQ(tree.data(tree.indexOf(ScanCategory::Messages), CFileTreeCtrl::kFilterStateRole).toString(), "D");

  select(ScanCategory::Contacts);
  EXPECT_FALSE(control<QCheckBox>("OptOnOffFilter")->isChecked());
  EXPECT_EQ(tree.data(tree.indexOf(ScanCategory::Contacts), CFileTreeCtrl::kFilterStateRole).toString(), "N");
  EXPECT_TRUE(count->isHidden());

  select(ScanCategory::Messages);
  EXPECT_TRUE(control<QCheckBox>("OptOnOffFilter")->isChecked());
  EXPECT_EQ(list.rowCount(), 1);
}

TEST_F(ScanPage, RecoveryButtonNeedsAPauseOrTheEndAndSomethingVisible) {
  enum class State { Scanning, Paused, Ended };
  struct Case {
    State state;
    bool onlyHiddenSelected;
    bool enabled;
  };
  const Case cases[] = {
      {State::Scanning, false, false}, {State::Scanning, true, false}, {State::Paused, false, true},
      {State::Paused, true, false},    {State::Ended, false, true},    {State::Ended, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "state " << static_cast<int>(c.state) << " hidden "
                                    << c.onlyHiddenSelected);
    m_release = false;
    m_held = false;
    scanHeld();
    if (c.onlyHiddenSelected) {
      // The one contact is live and the conversations' messages unticked:
      // with the filter on, only the hidden contact is selected.
      page().statistics().SetCategorySelected(ItemKind::Messages, false);
      select(ScanCategory::Contacts);
      control<QCheckBox>("OptOnOffFilter")->setChecked(true);
    }
    if (c.state == State::Paused) control<QPushButton>("BtnScanPause")->click();
    if (c.state == State::Ended) {
      m_release = true;
      ASSERT_TRUE(QTest::qWaitFor([this] { return page().scanEnded(); }, 20000));
    }
    if (c.onlyHiddenSelected) control<QCheckBox>("OptOnOffFilter")->setChecked(true);
    EXPECT_EQ(control<QPushButton>("BtnRecovery")->isEnabled(), c.enabled);
    if (c.state == State::Paused) control<QPushButton>("BtnScanPause")->click();
    m_release = true;
    ASSERT_TRUE(QTest::qWaitFor([this] { return page().scanEnded(); }, 20000));
    m_main.reset();
  }
}

TEST_F(ScanPage, PauseThenStopEntersAndLeavesTheLockOnce) {
  scanHeld();
  CountedLock& lock = page().session().progressLock();
  const uint64_t entered = lock.enteredCount();
  const uint64_t left = lock.leftCount();
  auto* pause = control<QPushButton>("BtnScanPause");
  pause->click();
  EXPECT_EQ(pause->text(), QStringLiteral("T-resume"));
  EXPECT_TRUE(page().session().paused());
  EXPECT_TRUE(control<QPushButton>("BtnRecovery")->isEnabled());
  m_dialogs.boxAnswers = {kResultOk};
  control<QPushButton>("BtnScanStop")->click();
  ASSERT_EQ(m_dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_dialogs.boxes[0].kind, kQuestion);
  EXPECT_EQ(m_dialogs.boxes[0].text, QStringLiteral("T-stop-question"));
  EXPECT_TRUE(page().session().finished());
  EXPECT_EQ(page().session().result(), kCancelled);
  EXPECT_EQ(pause->text(), QStringLiteral("T-pause"));
  // Once by the pause (held across the question), once by the scan's last report.
  EXPECT_EQ(lock.enteredCount() - entered, 2u);
  EXPECT_EQ(lock.leftCount() - left, 2u);
  ASSERT_TRUE(QTest::qWaitFor([this] { return page().scanEnded(); }, 20000));
  EXPECT_TRUE(control<QPushButton>("BtnHome")->isEnabled());
}

TEST_F(ScanPage, CloseDuringAScanAsksThenCancelsAndWaits) {
  scanHeld();
  m_main->show();
  // No: the window and the scan go on.
  m_dialogs.boxAnswers = {kResultCancel};
  EXPECT_FALSE(m_main->close());
  EXPECT_TRUE(m_main->isVisible());
  EXPECT_FALSE(page().session().finished());
  CountedLock& lock = page().session().progressLock();
  EXPECT_EQ(lock.enteredCount(), lock.leftCount());
  // Yes: the scan is cancelled and has ended when the window closes.
  m_dialogs.boxAnswers = {kResultOk};
  EXPECT_TRUE(m_main->close());
  EXPECT_TRUE(page().session().finished());
  EXPECT_EQ(page().session().result(), kCancelled);
  ASSERT_EQ(m_dialogs.boxes.size(), 2u);
  EXPECT_EQ(m_dialogs.boxes[1].text, QStringLiteral("T-quit-question"));
}

TEST_F(ScanPage, HomeAsksThenClearsTheStatisticsWithTheResults) {
  scanHeld();
  m_release = true;
  ASSERT_TRUE(QTest::qWaitFor([this] { return page().scanEnded(); }, 20000));
  auto* home = control<QPushButton>("BtnHome");
  m_dialogs.boxAnswers = {kResultCancel};
  home->click();
  EXPECT_EQ(m_dialogs.boxes.back().text, QStringLiteral("T-home-question"));
  EXPECT_GT(page().statistics().Root().total, 0u);
  EXPECT_EQ(page().listModel().rowCount() > 0, true);

  m_dialogs.boxAnswers = {kResultOk};
  home->click();
  EXPECT_EQ(page().statistics().Root().total, 0u);
  EXPECT_EQ(page().statistics().Find(&page().session().results()), nullptr);
  EXPECT_EQ(page().listModel().rowCount(), 0);
  EXPECT_TRUE(page().session().results().contacts.empty());
  EXPECT_EQ(page().treeModel().countOf(ScanCategory::Contacts), 0);
  EXPECT_EQ(control<QStackedWidget>("MainTabPage")->currentIndex(), 0);
  EXPECT_EQ(control<QLabel>("LblStatistics")->text(), QStringLiteral("0 MB|0|0 MB|0"));
}

TEST_F(ScanPage, SelectionAndEnterAskForThePreviewOfTheRow) {
  scanHeld();
  std::vector<std::pair<ScanCategory, int>> asked;
  QObject::connect(&page(), &CScanVrtWnd::previewRequested,
                   [&asked](ScanCategory category, int row) { asked.emplace_back(category, row); });
  select(ScanCategory::Contacts);
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.back(), std::make_pair(ScanCategory::Contacts, 0));
  select(ScanCategory::Messages);
  EXPECT_EQ(asked.back(), std::make_pair(ScanCategory::Messages, 0));
  auto* list = control<QTableView>("DataList");
  list->setCurrentIndex(page().listModel().index(1, 1));
  EXPECT_EQ(asked.back(), std::make_pair(ScanCategory::Messages, 1));
  asked.clear();
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(asked, (std::vector<std::pair<ScanCategory, int>>{{ScanCategory::Messages, 1}}));
  // Space ticks the row.
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_EQ(page().listModel().data(page().listModel().index(1, 0), Qt::CheckStateRole).toInt(),
            Qt::Unchecked);
}

}  // namespace
}  // namespace fq::app

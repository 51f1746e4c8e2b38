// The real window on an X server, clicked through as a person would, with
// pictures at the scale the run was started with (QT_SCALE_FACTOR).
#include <QtGui/qguiapplication_platform.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "GuiFixtures.h"
#include "XcbPictures.h"
#include "app/CFileTreeCtrl.h"
#include "app/CIosDeviceVrtWnd.h"
#include "app/CItunesBackupVrtWnd.h"
#include "app/CMainWnd.h"
#include "app/CScanVrtWnd.h"
#include "app/CWndShadow.h"
#include "app/LanguageStore.h"
#include "app/ModalDialogs.h"
#include "engine/session/BackupStore.h"
#include "engine/session/RecoveryFactory.h"
#include "engine/session/WorkFolders.h"
#include "tests/device/SimulatedDevice.h"
#include "tests/session/SessionFixtures.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/DemoBackup.h"

namespace fq::app {
namespace {

using test::expectTextsFit;
using test::savePicture;

// Runs each step on the next modal window that shows, in order, from inside
// that window's own loop. A window that does not come within 20 s is a
// failure, and whatever modal window is up then is closed, so a test never hangs.
class ModalDriver : public QObject {
 public:
  using Step = std::function<void(QDialog&)>;
  explicit ModalDriver(std::vector<Step> steps) : m_steps(std::move(steps)) {
    connect(&m_timer, &QTimer::timeout, this, &ModalDriver::tick);
    m_timer.start(20);
    m_waiting.start();
  }
  bool finished() const { return m_next == m_steps.size(); }

 private:
  void tick() {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (m_waiting.elapsed() > 20000) {
      m_timer.stop();
      ADD_FAILURE() << "no modal window for step " << m_next;
      if (dialog) dialog->reject();
      return;
    }
    if (!dialog || !dialog->isVisible() || dialog->property("driven").toBool()) return;
    dialog->setProperty("driven", true);
    m_timer.stop();
    dialog->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
    m_steps[m_next++](*dialog);
    if (!finished()) {
      m_waiting.restart();
      m_timer.start(20);
    }
  }

  std::vector<Step> m_steps;
  size_t m_next = 0;
  QTimer m_timer;
  QElapsedTimer m_waiting;
};

class XcbWindow : public testing::Test {
 protected:
  std::filesystem::path root() const { return m_folder / "data/Apple Computer/MobileSync/backup"; }
  // The window where the pictures expect it, shown and active.
  static void showActive(QWidget& window) {
    window.move(40, 40);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  testsupport::TempFolder m_folder{"fq-xcb"};
};

TEST_F(XcbWindow, BackupScanClickedThroughWithPasswordAndItsWarning) {
  test::writeBackup(root(), {"aaaa", "Kitchen Phone", "2019-01-02T03:04:05Z", false});
  test::writeBackup(root(), {"bbbb", "A phone whose owner gave it a very long name that the list must elide",
                             "2021-06-07T08:09:10Z", true});
  // The program's own English texts, as the user sees them.
  LanguageStore texts(FERNQUILL_BIN_DIR, (m_folder / "user.ini").string());
  ModalDialogs dialogs(texts);
  WorkFolders work(m_folder / "data");
  BackupStore store(work, root());
  CMainWnd main(texts, dialogs, store);
  // The scan this starts stays in its Open: the test is about the clicks.
  std::atomic<bool> release{false};
  main.scanPage().setRecoveryMaker([&release](int) {
    auto held = std::make_unique<testsupport::FakeRecovery>();
    held->openReports = {};
    held->duringOpen = [&release] {
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    return held;
  });
  struct Release {
    std::atomic<bool>& flag;
    ~Release() { flag = true; }
  } releaseAtEnd{release};
  ASSERT_NO_FATAL_FAILURE(showActive(main));
  expectTextsFit(main);
  savePicture(main, QStringLiteral("home"));

  QTest::mouseClick(main.findChild<QPushButton*>("OptBackupFile"), Qt::LeftButton);
  ASSERT_EQ(main.findChild<QStackedWidget*>("TabPage")->currentIndex(), 1);
  auto* list = main.findChild<QTreeView*>("BackupFileList");
  ASSERT_EQ(list->model()->rowCount(), 2);
  expectTextsFit(main);
  savePicture(main, QStringLiteral("backup-page"));

  // The newest, encrypted backup is the first row: an empty password is
  // warned about, then a typed one starts the scan.
  const QString emptyWarning = texts.text("Messages", "MSG0301");
  ModalDriver driver({
      [&](QDialog& password) {
        EXPECT_EQ(password.objectName(), QStringLiteral("DecryptionWnd"));
        EXPECT_EQ(password.focusWidget(), password.findChild<QLineEdit*>("EditPassword"));
        expectTextsFit(password);
        savePicture(main, QStringLiteral("password"));
        QTest::mouseClick(password.findChild<QPushButton*>("BtnOK"), Qt::LeftButton);
      },
      [&](QDialog& warning) {
        EXPECT_EQ(warning.objectName(), QStringLiteral("MessageBox_Warning"));
        EXPECT_EQ(warning.findChild<QLabel*>("message")->text(), emptyWarning);
        expectTextsFit(warning);
        savePicture(main, QStringLiteral("empty-password-warning"));
        QTest::mouseClick(warning.findChild<QPushButton*>("okbtn"), Qt::LeftButton);
      },
      [&](QDialog& password) {
        QTest::keyClicks(password.focusWidget(), QStringLiteral("secret"));
        QTest::mouseClick(password.findChild<QPushButton*>("BtnOK"), Qt::LeftButton);
      },
  });
  const QRect firstRow = list->visualRect(list->model()->index(0, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, firstRow.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, firstRow.center());
  EXPECT_TRUE(driver.finished());
  QCoreApplication::sendPostedEvents(&main);

  const auto& requests = main.scanPage().requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].backup.serialNumber, "SN-bbbb");
  EXPECT_TRUE(requests[0].withPassword);
  // Waiting for the Open: the page is disabled and the busy line shows.
  EXPECT_TRUE(main.busy());
  EXPECT_FALSE(main.findChild<QPushButton*>("BtnScan")->isEnabled());
  expectTextsFit(main);
  savePicture(main, QStringLiteral("opening"));
}

// The device page's three panels as the phone comes and goes, and the
// password window of a phone that encrypts its backups.
TEST_F(XcbWindow, DevicePanelsAndTheDevicePasswordWindow) {
  const auto socket = m_folder / "usbmuxd.sock";
  ::setenv("USBMUXD_SOCKET_ADDRESS", ("UNIX:" + socket.string()).c_str(), 1);
  LanguageStore texts(FERNQUILL_BIN_DIR, (m_folder / "user.ini").string());
  ModalDialogs dialogs(texts);
  WorkFolders work(m_folder / "data");
  BackupStore store(work, root());
  CMainWnd main(texts, dialogs, store);
  ASSERT_NO_FATAL_FAILURE(showActive(main));
  CIosDeviceVrtWnd& page = main.devicePage();
  auto shows = [&page](int panel) { return QTest::qWaitFor([&] { return page.panel() == panel; }, 20000); };

  ASSERT_TRUE(shows(0));
  expectTextsFit(main);
  savePicture(main, QStringLiteral("device-service"));

  fq::test::SimulatedDevice device({"--will-encrypt", "--name", "Kitchen Phone"}, socket);
  ASSERT_TRUE(device.Started()) << device.Error();
  ASSERT_TRUE(shows(2));
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.willEncrypt(); }, 5000));
  EXPECT_EQ(main.findChild<QLabel*>("IphoneInfo")->text(), QStringLiteral("Kitchen Phone(iPhone 12.4)"));
  expectTextsFit(main);
  savePicture(main, QStringLiteral("device-connected"));

  // Start Scan asks for the password in the device's words; cancelled, nothing starts.
  const QString describe = texts.text("Messages", "MSG0601");
  ModalDriver driver({
      [&](QDialog& password) {
        EXPECT_EQ(password.objectName(), QStringLiteral("DecryptionWnd"));
        EXPECT_EQ(password.findChild<QLabel*>("Description")->text(), describe);
        expectTextsFit(password);
        savePicture(main, QStringLiteral("device-password"));
        QTest::mouseClick(password.findChild<QPushButton*>("BtnCancel"), Qt::LeftButton);
      },
  });
  QTest::mouseClick(main.findChild<QPushButton*>("BtnDeviceScan"), Qt::LeftButton);
  EXPECT_TRUE(driver.finished());
  EXPECT_FALSE(page.deviceScanRunning());
  EXPECT_EQ(page.panel(), 2);

  device.Unplug();
  ASSERT_TRUE(shows(1));
  expectTextsFit(main);
  savePicture(main, QStringLiteral("device-connect"));
}

// Messages with a deleted message after a live one, and a contact; the scan
// then stays in its Notes step until released.
class HeldScan : public testsupport::FakeRecovery {
 public:
  explicit HeldScan(std::atomic<bool>& release) : m_release(release) {
    fillContacts = true;
    duringCategory = [this](int order) {
      if (order != 5) return;
      while (!m_release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
  }
  int32_t ScanMessages(ConversationMap& conversations) override {
    MessageRecord m;
    m.contactName = "Ann";
    m.address = "+15550100";
    m.date = "2021-06-07 08:09:10";
    m.text = "See you at the station";
    MessageRecord gone = m;
    gone.deleted = 1;
    gone.text = "Never mind";
    conversations[1] = {m, gone};
    m.contactName = "Bob";
    m.address = "+15550199";
    conversations[2] = {m};
    return FakeRecovery::ScanMessages(conversations);
  }

 private:
  std::atomic<bool>& m_release;
};

// The scan page while it scans, paused, with the demo backup's results and
// with the deleted-only filter on.
TEST_F(XcbWindow, ScanPageScanningPausedResultsFiltered) {
  std::string error;
  ASSERT_TRUE(builder::WriteDemoBackup(root() / "demo", builder::ManifestFormat::Db, &error)) << error;
  LanguageStore texts(FERNQUILL_BIN_DIR, (m_folder / "user.ini").string());
  ModalDialogs dialogs(texts);
  WorkFolders work(m_folder / "data");
  BackupStore store(work, root());
  std::vector<BackupInfo> backups;
  store.ListBackups(backups);
  ASSERT_EQ(backups.size(), 1u);
  CMainWnd main(texts, dialogs, store);
  CScanVrtWnd& page = main.scanPage();
  std::atomic<bool> release{false};
  struct Release {
    std::atomic<bool>& flag;
    ~Release() { flag = true; }
  } releaseAtEnd{release};
  page.setRecoveryMaker([&release](int) { return std::make_unique<HeldScan>(release); });
  main.move(40, 40);
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));

  page.setBackup(backups[0]);
  main.postEvent(kMsgStartScan, 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.treeModel().isReady(ScanCategory::Contacts); }, 20000));
  QTest::qWait(200);
  ASSERT_EQ(main.findChild<QStackedWidget*>("MainTabPage")->currentIndex(), 1);
  expectTextsFit(main);
  savePicture(main, QStringLiteral("scan-scanning"));
  QTest::mouseClick(main.findChild<QPushButton*>("BtnScanPause"), Qt::LeftButton);
  expectTextsFit(main);
  savePicture(main, QStringLiteral("scan-paused"));
  QTest::mouseClick(main.findChild<QPushButton*>("BtnScanPause"), Qt::LeftButton);
  release = true;
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.scanEnded(); }, 20000));

  // The demo backup through the real engine.
  page.setRecoveryMaker(
      [&store](int source) { return CreateRecovery(source, store, store.workFolders(), nullptr); });
  main.postEvent(kMsgStartScan, 1);
  QCoreApplication::sendPostedEvents(&main);
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.scanEnded() && page.session().finished(); }, 120000));
  QTest::qWait(200);
  auto* tree = main.findChild<QTreeView*>("NodeTree");
  tree->setCurrentIndex(page.treeModel().indexOf(ScanCategory::Messages));
  QTest::qWait(100);
  expectTextsFit(main);
  savePicture(main, QStringLiteral("scan-results"));
  tree->setCurrentIndex(page.treeModel().indexOf(ScanCategory::CallHistory));
  QTest::qWait(100);
  savePicture(main, QStringLiteral("scan-results-calls"));
  tree->setCurrentIndex(page.treeModel().indexOf(ScanCategory::Messages));
  QTest::mouseClick(main.findChild<QCheckBox*>("OptOnOffFilter"), Qt::LeftButton);
  ASSERT_TRUE(main.findChild<QCheckBox*>("OptOnOffFilter")->isChecked());
  QTest::qWait(100);
  expectTextsFit(main);
  savePicture(main, QStringLiteral("scan-filtered"));
}

// The shadow is painted only while a compositing manager owns _NET_WM_CM_S0.
TEST(XcbShadow, CompositorIsSeenByItsSelectionOwner) {
  EXPECT_FALSE(CWndShadow::Composited());
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  ASSERT_NE(x11, nullptr);
  xcb_connection_t* connection = x11->connection();
  static constexpr char kSelection[] = "_NET_WM_CM_S0";
  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof kSelection - 1, kSelection),
                            nullptr),
      &std::free);
  ASSERT_TRUE(atom);
  // Stand in for a compositor: own the selection with a window of our own.
  const xcb_window_t owner = xcb_generate_id(connection);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, owner, screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_set_selection_owner(connection, owner, atom->atom, XCB_CURRENT_TIME);
  xcb_flush(connection);
  EXPECT_TRUE(CWndShadow::Composited());
  {
    // A main window made now is translucent at its edge: the shadow's rings
    // fade outwards, the content inside them is opaque.
    testsupport::TempFolder folder{"fq-xcb"};
    LanguageStore texts(FERNQUILL_BIN_DIR, (folder / "user.ini").string());
    ModalDialogs dialogs(texts);
    WorkFolders work(folder / "data");
    BackupStore store(work, folder / "data/backup");
    CMainWnd main(texts, dialogs, store);
    EXPECT_TRUE(main.testAttribute(Qt::WA_TranslucentBackground));
    const QImage edge = main.grab().toImage();
    const int dpr = qRound(edge.devicePixelRatio());
    auto alphaAt = [&](int x) { return edge.pixelColor(x * dpr, 300 * dpr).alpha(); };
    const int outer = alphaAt(0);
    const int inner = alphaAt(3);
    EXPECT_LT(outer, inner);
    EXPECT_GT(inner, 0);
    EXPECT_LT(inner, 255);
    EXPECT_EQ(alphaAt(4), 255);
    // Maximised, the shadow and its margin go.
    CWndShadow shadow{CWndShadow::Look{}};
    shadow.attach(main);
    EXPECT_TRUE(shadow.shown(main));
    main.setWindowState(Qt::WindowMaximized);
    EXPECT_FALSE(shadow.shown(main));
    EXPECT_EQ(shadow.margin(main), 0);
    EXPECT_EQ(main.layout()->contentsMargins().left(), 0);
  }
  // The owner gone, the selection is free again.
  xcb_destroy_window(connection, owner);
  xcb_flush(connection);
  EXPECT_FALSE(CWndShadow::Composited());
}

}  // namespace
}  // namespace fq::app

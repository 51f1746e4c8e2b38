// The device page against the simulated device: its panels follow the
// device thread, Start Scan takes the backup password to the phone, and a
// device scan that switched encryption off switches it on again.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "ScriptedDialogs.h"
#include "app/CIosDeviceVrtWnd.h"
#include "app/CMessageBox.h"
#include "app/CScanVrtWnd.h"
#include "app/IniFile.h"
#include "app/LanguageStore.h"
#include "device/CDeviceBackupDriver.h"
#include "engine/platform/ProgramFolder.h"
#include "engine/session/BackupStore.h"
#include "engine/session/EventSink.h"
#include "engine/session/WorkFolders.h"
#include "tests/device/SimulatedDevice.h"
#include "tests/support/TempFolder.h"

namespace fq::app {
namespace {

using fq::test::SimulatedDevice;

class RecordingSink : public IEventSink {
 public:
  void postEvent(uint32_t message, uintptr_t wParam) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_posted.emplace_back(message, wParam);
  }
  size_t scanRequests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t n = 0;
    for (const auto& [message, wParam] : m_posted) n += message == kMsgStartScan && wParam == 0;
    return n;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::pair<uint32_t, uintptr_t>> m_posted;
};

// Events of the device that asked for encryption with a new password.
size_t EncryptionRequests(const SimulatedDevice& device) {
  size_t n = 0;
  for (const auto& e : device.Events("mb2"))
    n += e["message"] == "ChangePassword" && e["body"].contains("NewPassword");
  return n;
}

#define START_DEVICE(device) ASSERT_TRUE((device).Started()) << (device).Error()

class DevicePage : public testing::Test {
 protected:
  DevicePage()
      : m_texts(FERNQUILL_BIN_DIR, (m_folder / "user.ini").string()),
        m_scan(m_texts, m_dialogs, m_store, m_sink, nullptr) {
    DeviceDriverTimings timings;
    timings.emptyPollPauseMs = 50;
    timings.syncLockRetryMs = 10;
    m_driver.SetTimings(timings);
    m_driver.SetLog([](std::string_view) {});
  }
  ~DevicePage() override { m_page.reset(); }

  CIosDeviceVrtWnd& page() {
    if (!m_page) {
      DeviceThread::Settings settings;
      settings.driver = &m_driver;
      settings.tickMs = 50;
      settings.idleCheckMs = 20;
      m_page = std::make_unique<CIosDeviceVrtWnd>(m_texts, m_dialogs, m_scan, m_sink, nullptr, settings);
    }
    return *m_page;
  }
  // Waits (up to 20 s) until the page shows `panel`.
  bool showsPanel(int panel) {
    return QTest::qWaitFor([&] { return page().panel() == panel; }, 20000);
  }
  QString deviceText() { return page().findChild<QLabel*>("IphoneInfo")->text(); }
  QPushButton* button(const char* name) { return page().findChild<QPushButton*>(name); }
  QString message(const char* key) { return m_texts.text("Messages", key); }
  // Waits until the device thread has answered the password.
  bool answered() {
    return QTest::qWaitFor([&] { return !page().busy(); }, 20000);
  }

  testsupport::TempFolder m_folder{"fq-device-page"};
  LanguageStore m_texts;
  test::ScriptedDialogs m_dialogs;
  RecordingSink m_sink;
  WorkFolders m_work{m_folder / "data"};
  BackupStore m_store{m_work, m_folder / "backups"};
  CScanVrtWnd m_scan;
  CDeviceBackupDriver m_driver;
  std::unique_ptr<CIosDeviceVrtWnd> m_page;
};

TEST_F(DevicePage, PanelsFollowTheServiceThePhoneAndItsTrust) {
  // No usbmuxd where the page looks: panel 0, its Retry finds it once it runs.
  const auto socket = m_folder / "usbmuxd.sock";
  ::setenv("USBMUXD_SOCKET_ADDRESS", ("UNIX:" + socket.string()).c_str(), 1);
  ASSERT_TRUE(showsPanel(0));
  EXPECT_TRUE(button("BtnItunesRetry")->isVisibleTo(&page()));
  {
    SimulatedDevice device({}, socket);
    START_DEVICE(device);
    button("BtnItunesRetry")->click();
    ASSERT_TRUE(showsPanel(2));
    EXPECT_EQ(deviceText(), QStringLiteral("Simulated iPhone(iPhone 12.4)"));
    EXPECT_FALSE(page().willEncrypt());
    device.Unplug();
    EXPECT_TRUE(showsPanel(1));
  }
  // Another phone behind the same usbmuxd shows its own name.
  {
    SimulatedDevice device({"--name", "Kitchen Phone", "--version", "16.1"}, socket);
    START_DEVICE(device);
    ASSERT_TRUE(showsPanel(2));
    EXPECT_EQ(deviceText(), QStringLiteral("Kitchen Phone(iPhone 16.1)"));
  }
  // A phone that does not trust this computer never gets past panel 1.
  {
    SimulatedDevice device({"--untrusted"}, socket);
    START_DEVICE(device);
    ASSERT_TRUE(showsPanel(1));
    QTest::qWait(500);
    EXPECT_EQ(page().panel(), 1);
    EXPECT_GT(device.Events("lockdown").size(), 0u);
  }
}

TEST_F(DevicePage, DeviceNameIsShownAsPlainText) {
  // Tabs and line breaks are what a property list can carry of control characters.
  SimulatedDevice device({"--name", "<b>Bold</b>\n\tred\u202e"});
  START_DEVICE(device);
  ASSERT_TRUE(showsPanel(2));
  auto* info = page().findChild<QLabel*>("IphoneInfo");
  EXPECT_EQ(info->textFormat(), Qt::PlainText);
  EXPECT_EQ(deviceText(), QStringLiteral("<b>Bold</b>  red (iPhone 12.4)"));
}

TEST_F(DevicePage, UnencryptedPhoneIsScannedWithoutAPassword) {
  SimulatedDevice device;
  START_DEVICE(device);
  ASSERT_TRUE(showsPanel(2));
  button("BtnDeviceScan")->click();
  EXPECT_TRUE(m_dialogs.passwordModes.empty());
  EXPECT_EQ(m_sink.scanRequests(), 1u);
  EXPECT_TRUE(page().deviceScanRunning());
  // A second click while the scan runs asks for nothing more.
  button("BtnDeviceScan")->click();
  EXPECT_EQ(m_sink.scanRequests(), 1u);
}

struct PasswordCase {
  const char* what;
  int answer;
  const char* typed;
  const char* box;  // the message shown, or null
  size_t scans;
};

TEST_F(DevicePage, EncryptingPhoneTakesItsBackupPasswordFirst) {
  SimulatedDevice device({"--will-encrypt", "--password", "secret"});
  START_DEVICE(device);
  ASSERT_TRUE(showsPanel(2));
  ASSERT_TRUE(QTest::qWaitFor([&] { return page().willEncrypt(); }, 5000));
  const PasswordCase cases[] = {
      {"cancelled", kResultCancel, "", nullptr, 0},
      {"wrong", kResultOk, "wrong", "MSG0302", 0},
      {"right", kResultOk, "secret", nullptr, 1},
  };
  for (const PasswordCase& c : cases) {
    SCOPED_TRACE(c.what);
    m_dialogs.boxes.clear();
    m_dialogs.passwordAnswers.push_back({c.answer, c.typed});
    button("BtnDeviceScan")->click();
    ASSERT_EQ(m_dialogs.passwordModes.back(), 0);
    if (c.answer == kResultOk) {
      // Until the phone answers, the button says it is busy.
      EXPECT_TRUE(page().busy());
      EXPECT_FALSE(button("BtnDeviceScan")->isEnabled());
      EXPECT_EQ(button("BtnDeviceScan")->text(), message("MSG0603"));
    }
    ASSERT_TRUE(answered());
    EXPECT_EQ(button("BtnDeviceScan")->text(), QStringLiteral("Start Scan"));
    EXPECT_TRUE(button("BtnDeviceScan")->isEnabled());
    EXPECT_EQ(m_sink.scanRequests(), c.scans);
    EXPECT_EQ(page().panel(), 2);
    if (c.box) {
      ASSERT_EQ(m_dialogs.boxes.size(), 1u);
      EXPECT_EQ(m_dialogs.boxes[0].kind, kInformation);
      EXPECT_EQ(m_dialogs.boxes[0].text, message(c.box));
      EXPECT_EQ(m_dialogs.boxes[0].size, QSize(550, 200));
    } else {
      EXPECT_TRUE(m_dialogs.boxes.empty());
    }
  }
  ASSERT_EQ(EncryptionRequests(device), 0u);

  // The scan ends: encryption goes back on with the same password, the
  // driver disconnects, and the next tick sees a phone that encrypts again.
  page().onDeviceScanEnded(0, {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return EncryptionRequests(device) == 1; }, 20000));
  const auto encryption = device.Events("encryption");
  ASSERT_FALSE(encryption.empty());
  EXPECT_TRUE(encryption.back()["will_encrypt"].get<bool>());
  for (const auto& e : device.Events("mb2")) {
    if (e["body"].contains("NewPassword")) {
      EXPECT_EQ(e["body"]["NewPassword"], "secret");
    }
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return page().willEncrypt(); }, 20000));
  EXPECT_EQ(page().panel(), 2);
  EXPECT_TRUE(m_dialogs.boxes.empty());  // no warning
  EXPECT_FALSE(page().deviceScanRunning());
}

// While the phone may ask for its passcode the window says so; a phone that
// refuses (or is gone) leaves a warning that its backups are not encrypted.
TEST_F(DevicePage, RefusedEncryptionWarnsThatBackupsAreUnprotected) {
  SimulatedDevice device({"--will-encrypt", "--refuse-encryption"});
  START_DEVICE(device);
  ASSERT_TRUE(showsPanel(2));
  ASSERT_TRUE(QTest::qWaitFor([&] { return page().willEncrypt(); }, 5000));
  m_dialogs.passwordAnswers.push_back({kResultOk, "secret"});
  button("BtnDeviceScan")->click();
  ASSERT_TRUE(answered());
  ASSERT_EQ(m_sink.scanRequests(), 1u);

  bool noticeShown = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == QLatin1String("EncryptionNotice") && w->isVisible()) noticeShown = true;
  });
  watch.start(5);
  page().onDeviceScanEnded(0, {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_dialogs.boxes.empty(); }, 20000));
  watch.stop();
  EXPECT_TRUE(noticeShown);
  EXPECT_EQ(m_dialogs.boxes[0].kind, kWarning);
  EXPECT_EQ(m_dialogs.boxes[0].text, message("MSG0605"));
  EXPECT_EQ(EncryptionRequests(device), 1u);
  QTest::qWait(50);
  for (QWidget* w : QApplication::topLevelWidgets())
    EXPECT_FALSE(w->objectName() == QLatin1String("EncryptionNotice") && w->isVisible());
}

TEST_F(DevicePage, FailedDeviceScanShowsTheErrorBoxWithTheDevicesWords) {
  SimulatedDevice device;
  START_DEVICE(device);
  ASSERT_TRUE(showsPanel(2));
  page().onDeviceScanEnded(static_cast<int>(kScanEventFailed), "Insufficient free disk space\x07 on drive");
  ASSERT_EQ(m_dialogs.boxes.size(), 1u);
  const auto& box = m_dialogs.boxes[0];
  EXPECT_EQ(box.kind, kError);
  EXPECT_EQ(box.title, QStringLiteral("Error"));
  EXPECT_EQ(box.size, QSize(600, 200));
  QString expected = message("MSG0201");
  ASSERT_TRUE(expected.contains(QStringLiteral("\\n")));  // the language file's own line breaks
  expected.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
  EXPECT_EQ(box.text, expected + QStringLiteral("\n\nInsufficient free disk space  on drive"));
  // Without a description the box holds the message alone; a finished scan shows none.
  page().onDeviceScanEnded(static_cast<int>(kScanEventFailed), {});
  ASSERT_EQ(m_dialogs.boxes.size(), 2u);
  EXPECT_EQ(m_dialogs.boxes[1].text, expected);
  page().onDeviceScanEnded(0, {});
  EXPECT_EQ(m_dialogs.boxes.size(), 2u);
}

TEST_F(DevicePage, HelpLinkOpensTheAddressOfTheProgramsConfig) {
  ::setenv("USBMUXD_SOCKET_ADDRESS", ("UNIX:" + (m_folder / "none.sock").string()).c_str(), 1);
  ASSERT_TRUE(showsPanel(0));
  button("BtnAppleUrl")->click();
  const std::string config = (ProgramFolder() / "config.ini").string();
  const QString url = QString::fromStdString(IniFile::Load(config).value("Web", "DeviceService"));
  if (url.isEmpty()) {
    EXPECT_TRUE(m_dialogs.urls.empty());
  } else {
    ASSERT_EQ(m_dialogs.urls.size(), 1u);
    EXPECT_EQ(m_dialogs.urls[0], url);
  }
}

// The scan thread paused inside the device backup (its progress callback
// held, as the scan page's pause does) and the phone unplugged: the device
// thread waits for the backup, the window keeps answering, and closing the
// page does not wait for the backup either.
TEST_F(DevicePage, PausedBackupAndUnpluggedPhoneLeaveTheWindowAnswering) {
  SimulatedDevice device({"--scenario", "slow", "--slow-ms", "100"});
  START_DEVICE(device);
  ASSERT_TRUE(showsPanel(2));
  std::mutex pause;
  std::unique_lock<std::mutex> paused(pause);
  std::atomic<bool> reported{false};
  m_driver.SetProgress(
      [&](int32_t) {
        reported = true;
        std::lock_guard<std::mutex> wait(pause);
        return 0;
      },
      20);
  std::thread scan([&] { m_driver.Backup(device.Scratch() / "backup", ""); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return reported.load(); }, 20000));
  device.Unplug();

  // The window answers: a timer of the UI thread keeps firing.
  int beats = 0;
  QTimer heart;
  QObject::connect(&heart, &QTimer::timeout, [&] { ++beats; });
  heart.start(10);
  QTest::qWait(600);
  EXPECT_GT(beats, 20);
  EXPECT_EQ(page().panel(), 2);  // the tick still waits for the paused backup
  m_page.reset();                // closing: the wait ends without the backup
  paused.unlock();
  scan.join();
  EXPECT_TRUE(m_driver.IsIdle());
}

}  // namespace
}  // namespace fq::app

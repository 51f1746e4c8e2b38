#include "app/DeviceThread.h"

#include <QTimer>
#include <atomic>
#include <memory>

#include "app/CDecryptionWnd.h"
#include "device/CDeviceBackupDriver.h"
#include "device/DeviceDetector.h"
#include "device/QuitCounter.h"

namespace fq::app {

// Lives on the thread; every member but `stopping` and the detector's stop
// flag is touched there only.
class DeviceThread::Worker : public QObject {
 public:
  Worker(DeviceThread& owner, CDeviceBackupDriver& driver, std::function<bool()> softwareCheck, int tickMs,
         int idleCheckMs)
      : m_owner(owner),
        m_driver(driver),
        m_detector(driver, std::move(softwareCheck), idleCheckMs),
        m_tickMs(tickMs) {}
  ~Worker() override { WipeString(m_password); }

  void start() {
    checkSoftware();
    m_timer = std::make_unique<QTimer>();
    connect(m_timer.get(), &QTimer::timeout, this, [this] { tick(); });
    m_timer->start(m_tickMs);
  }

  void checkSoftware() {
    if (stopping) return;
    m_detector.CheckSoftware();
    publish();
  }

  void tick() {
    if (stopping) return;
    m_detector.Tick();
    publish();
  }

  void turnOffEncryption(std::string& password) {
    int result = -1;
    if (!stopping) result = m_driver.TurnOffBackupEncryption(password);
    WipeString(m_password);
    // Kept only when this call switched something off, for scanEnded.
    if (result == 0 && m_driver.EncryptionSwitchedOff()) m_password.swap(password);
    WipeString(password);
    emit m_owner.encryptionTurnedOff(result);
  }

  void scanEnded() {
    if (stopping) return;
    if (m_driver.EncryptionSwitchedOff()) {
      emit m_owner.encryptionRestoring();
      const int result = m_driver.RestoreBackupEncryption(m_password);
      emit m_owner.encryptionRestored(result);
    }
    WipeString(m_password);
    m_driver.Disconnect();
  }

  void shutdown() {
    // A timer is stopped on its own thread: this one, before the loop ends.
    m_timer.reset();
    WipeString(m_password);
    QThread::currentThread()->quit();
  }

  void requestStop() {
    stopping = true;
    m_detector.RequestStop();
  }

 private:
  void publish() {
    const int panel = static_cast<int>(m_detector.Panel());
    const QString text = QString::fromStdString(m_detector.DeviceText());
    const bool willEncrypt = m_detector.WillEncrypt();
    if (m_published && panel == m_panel && text == m_text && willEncrypt == m_willEncrypt) return;
    m_published = true;
    m_panel = panel;
    m_text = text;
    m_willEncrypt = willEncrypt;
    emit m_owner.stateChanged(panel, text, willEncrypt);
  }

  DeviceThread& m_owner;
  CDeviceBackupDriver& m_driver;
  DeviceDetector m_detector;
  int m_tickMs;
  std::unique_ptr<QTimer> m_timer;
  std::string m_password;
  bool m_published = false;
  int m_panel = 0;
  QString m_text;
  bool m_willEncrypt = false;

 public:
  // Set by the window's thread when it closes: queued work is skipped.
  std::atomic<bool> stopping{false};
};

DeviceThread::DeviceThread(Settings settings, QObject* parent) : QObject(parent) {
  CDeviceBackupDriver& driver = settings.driver ? *settings.driver : CDeviceBackupDriver::Instance();
  std::function<bool()> check = settings.softwareCheck ? std::move(settings.softwareCheck)
                                                       : std::function<bool()>(IsDeviceServiceReachable);
  m_worker = std::make_unique<Worker>(*this, driver, std::move(check), settings.tickMs, settings.idleCheckMs);
  m_thread.setObjectName(QStringLiteral("device"));
  m_worker->moveToThread(&m_thread);
}

DeviceThread::~DeviceThread() {
  m_worker->requestStop();
  if (m_thread.isRunning()) {
    post([](Worker& w) { w.shutdown(); });
    // A password exchange resets the quit counter when it begins: raise it
    // until the thread has ended, so no exchange outlasts the window.
    while (!m_thread.wait(50)) QuitCounter().fetch_add(1);
  }
}

void DeviceThread::post(std::function<void(Worker&)> job) {
  Worker* worker = m_worker.get();
  QMetaObject::invokeMethod(
      worker, [worker, job = std::move(job)] { job(*worker); }, Qt::QueuedConnection);
}

void DeviceThread::start() {
  if (m_thread.isRunning()) return;
  m_thread.start();
  post([](Worker& w) { w.start(); });
}

void DeviceThread::checkSoftware() {
  post([](Worker& w) { w.checkSoftware(); });
}

namespace {
// A password on its way to the thread, wiped however its journey ends.
struct PasswordInTransit {
  std::string text;
  explicit PasswordInTransit(std::string password) : text(std::move(password)) {}
  ~PasswordInTransit() { WipeString(text); }
  PasswordInTransit(const PasswordInTransit&) = delete;
  PasswordInTransit& operator=(const PasswordInTransit&) = delete;
};
}  // namespace

void DeviceThread::turnOffEncryption(std::string password) {
  auto kept = std::make_shared<PasswordInTransit>(std::move(password));
  post([kept](Worker& w) { w.turnOffEncryption(kept->text); });
}

void DeviceThread::scanEnded() {
  post([](Worker& w) { w.scanEnded(); });
}

}  // namespace fq::app

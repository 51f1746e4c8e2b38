#pragma once
// The device page's worker thread: it owns the detector and is the window's
// only caller of the device backup driver. The page asks by the calls below
// (they return at once, the work runs in order on the thread) and hears the
// outcomes by signals, so a slow handshake or a backup that will not go idle
// never holds the window.
#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <string>

namespace fq {
class CDeviceBackupDriver;
}

namespace fq::app {

class DeviceThread : public QObject {
  Q_OBJECT
 public:
  struct Settings {
    // Null: the process's driver.
    CDeviceBackupDriver* driver = nullptr;
    // Null: whether usbmuxd answers.
    std::function<bool()> softwareCheck;
    int tickMs = 1000;
    // How often a tick looks whether a backup it must wait for has ended.
    int idleCheckMs = 1000;
  };

  explicit DeviceThread(Settings settings, QObject* parent = nullptr);
  // Ends the thread: a wait for a backup, a password exchange and whatever
  // is queued are cut short; the driver is left connected as it is.
  ~DeviceThread() override;
  DeviceThread(const DeviceThread&) = delete;
  DeviceThread& operator=(const DeviceThread&) = delete;

  // The software check, then a detection tick every tickMs.
  void start();
  // The Retry button: the software check again.
  void checkSoftware();
  // Answers encryptionTurnedOff. On success the thread keeps the password
  // for scanEnded; otherwise it is wiped.
  void turnOffEncryption(std::string password);
  // A scan ended: encryption goes back on when it was switched off for it
  // (encryptionRestoring, then encryptionRestored), the kept password is
  // wiped, and the driver disconnects; the next tick connects again.
  void scanEnded();

 signals:
  // After each check and tick that changed what the page shows.
  void stateChanged(int panel, const QString& deviceText, bool willEncrypt);
  void encryptionTurnedOff(int result);
  void encryptionRestoring();
  void encryptionRestored(int result);

 private:
  class Worker;
  // Runs `job` on the thread, after what is already queued.
  void post(std::function<void(Worker&)> job);

  QThread m_thread;
  std::unique_ptr<Worker> m_worker;
};

}  // namespace fq::app

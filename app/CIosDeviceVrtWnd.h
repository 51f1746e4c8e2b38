#pragma once
// The device page: which of its three panels shows follows the device thread
// (service missing, no usable connection, a connected phone); Start Scan asks
// for the backup password of a phone that encrypts its backups, has the
// thread switch that encryption off, and asks the main window for a device
// scan. After the scan the thread switches encryption back on.
#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "app/DeviceThread.h"
#include "app/Skin.h"

class QLabel;
class QPushButton;
class QStackedWidget;

namespace fq {
class IEventSink;
}

namespace fq::app {

class CMessageBox;
class CScanVrtWnd;
class DialogHost;
class LanguageStore;

class CIosDeviceVrtWnd : public QWidget {
  Q_OBJECT
 public:
  // The device thread starts at once with `device` (default: the process's
  // driver, a tick a second).
  CIosDeviceVrtWnd(const LanguageStore& texts, DialogHost& dialogs, CScanVrtWnd& scan, IEventSink& sink,
                   QWidget* parent, DeviceThread::Settings device = {});
  ~CIosDeviceVrtWnd() override;
  void applyTexts();
  void setControlsEnabled(bool enabled);
  const Skin& skin() const { return m_skin; }

  int panel() const;
  bool willEncrypt() const { return m_willEncrypt; }
  // Between a password sent to the device and its answer.
  bool busy() const { return m_busy; }
  // Between a device scan requested here and its end.
  bool deviceScanRunning() const { return m_deviceScan; }
  // The connected device as the page names it ("name(model version)").
  QString deviceText() const;

 public slots:
  // The end of a scan, whatever its source: `scanEvent` is 3 when a device
  // scan's Open failed (the MSG0201 box, with the device's own description
  // when it gave one), anything else for a scan that finished or was
  // cancelled. Encryption switched off for the scan goes back on, then the
  // driver disconnects.
  void onDeviceScanEnded(int scanEvent, std::string errorDescription);

 private:
  void onState(int panel, const QString& deviceText, bool willEncrypt);
  void startScan();
  void onEncryptionTurnedOff(int result);
  void onEncryptionRestoring();
  void onEncryptionRestored(int result);
  void requestDeviceScan();
  void setBusy(bool busy);
  void openServiceHelp();

  const LanguageStore& m_texts;
  DialogHost& m_dialogs;
  CScanVrtWnd& m_scan;
  IEventSink& m_sink;
  Skin m_skin;
  QStackedWidget* m_tabs;
  QLabel* m_info;
  QLabel* m_status;
  QPushButton* m_scanButton;
  QPushButton* m_retry;
  DeviceThread m_device;
  // The password between the window and the device's answer.
  std::string m_password;
  QPointer<CMessageBox> m_notice;
  bool m_willEncrypt = false;
  bool m_busy = false;
  bool m_deviceScan = false;
  bool m_enabled = true;
};

}  // namespace fq::app

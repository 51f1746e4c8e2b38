#include "app/CIosDeviceVrtWnd.h"

#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

#include "app/CDecryptionWnd.h"
#include "app/CMessageBox.h"
#include "app/CScanVrtWnd.h"
#include "app/DialogHost.h"
#include "app/IniFile.h"
#include "app/LanguageStore.h"
#include "engine/platform/ProgramFolder.h"
#include "engine/session/EventSink.h"

namespace fq::app {
namespace {

constexpr int kConnectedPanel = 2;
// Longer descriptions from a device are cut: the box has room for a few lines.
constexpr qsizetype kMaxDescription = 400;

// Text a device chose, for one label: control characters and direction
// overrides become spaces, so it cannot break lines or turn itself around.
QString DeviceTextLine(const QString& text, bool keepLineBreaks = false) {
  QString line = text;
  for (QChar& c : line) {
    const char16_t u = c.unicode();
    if (keepLineBreaks && u == u'\n') continue;
    const bool control = u < 0x20 || (u >= 0x7f && u < 0xa0);
    const bool direction = (u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069);
    if (control || direction) c = QChar(u' ');
  }
  return line;
}

}  // namespace

CIosDeviceVrtWnd::CIosDeviceVrtWnd(const LanguageStore& texts, DialogHost& dialogs, CScanVrtWnd& scan,
                                   IEventSink& sink, QWidget* parent, DeviceThread::Settings device)
    : QWidget(parent),
      m_texts(texts),
      m_dialogs(dialogs),
      m_scan(scan),
      m_sink(sink),
      m_skin(QStringLiteral("PageIosDevice"), this),
      m_device(std::move(device)) {
  setObjectName("IosDeviceVtrWnd");
  m_tabs = m_skin.control<QStackedWidget>("TabIosDevice");
  m_info = m_skin.control<QLabel>("IphoneInfo");
  m_info->setTextFormat(Qt::PlainText);
  m_status = m_skin.control<QLabel>("LblDeviceStatus");
  m_status->setTextFormat(Qt::PlainText);
  m_status->hide();
  m_scanButton = m_skin.control<QPushButton>("BtnDeviceScan");
  m_retry = m_skin.control<QPushButton>("BtnItunesRetry");
  connect(m_scanButton, &QPushButton::clicked, this, &CIosDeviceVrtWnd::startScan);
  connect(m_retry, &QPushButton::clicked, this, [this] { m_device.checkSoftware(); });
  connect(m_skin.control<QPushButton>("BtnAppleUrl"), &QPushButton::clicked, this,
          &CIosDeviceVrtWnd::openServiceHelp);

  connect(&m_device, &DeviceThread::stateChanged, this, &CIosDeviceVrtWnd::onState);
  connect(&m_device, &DeviceThread::encryptionTurnedOff, this, &CIosDeviceVrtWnd::onEncryptionTurnedOff);
  connect(&m_device, &DeviceThread::encryptionRestoring, this, &CIosDeviceVrtWnd::onEncryptionRestoring);
  connect(&m_device, &DeviceThread::encryptionRestored, this, &CIosDeviceVrtWnd::onEncryptionRestored);
  applyTexts();
  m_device.start();
}

CIosDeviceVrtWnd::~CIosDeviceVrtWnd() { WipeString(m_password); }

QString CIosDeviceVrtWnd::deviceText() const { return m_info->text(); }

void CIosDeviceVrtWnd::applyTexts() {
  m_texts.apply(this, "PageIosDevice");
  if (m_busy) m_scanButton->setText(m_texts.text("Messages", "MSG0603"));
  if (m_notice) m_status->setText(m_texts.text("Messages", "MSG0604"));
}

int CIosDeviceVrtWnd::panel() const { return m_tabs->currentIndex(); }

void CIosDeviceVrtWnd::setControlsEnabled(bool enabled) {
  m_enabled = enabled;
  m_scanButton->setEnabled(enabled && !m_busy);
  m_retry->setEnabled(enabled);
}

void CIosDeviceVrtWnd::onState(int panel, const QString& deviceText, bool willEncrypt) {
  m_tabs->setCurrentIndex(panel);
  m_info->setText(DeviceTextLine(deviceText));
  m_willEncrypt = willEncrypt;
}

void CIosDeviceVrtWnd::openServiceHelp() {
  const std::string config = (ProgramFolder() / "config.ini").string();
  const QString url = QString::fromStdString(IniFile::Load(config).value("Web", "DeviceService"));
  if (!url.isEmpty()) m_dialogs.openUrl(url);
}

void CIosDeviceVrtWnd::setBusy(bool busy) {
  m_busy = busy;
  m_scanButton->setEnabled(m_enabled && !busy);
  if (busy)
    m_scanButton->setText(m_texts.text("Messages", "MSG0603"));
  else
    applyTexts();
}

void CIosDeviceVrtWnd::startScan() {
  if (m_busy || m_deviceScan || panel() != kConnectedPanel) return;
  if (!m_willEncrypt) {
    requestDeviceScan();
    return;
  }
  WipeString(m_password);
  if (m_dialogs.askPassword(window(), 0, m_password) != kResultOk) {
    WipeString(m_password);
    return;
  }
  // An empty password goes to the device like any other: it decides.
  setBusy(true);
  m_device.turnOffEncryption(m_password);
}

void CIosDeviceVrtWnd::onEncryptionTurnedOff(int result) {
  setBusy(false);
  if (result != 0) {
    WipeString(m_password);
    m_dialogs.messageBox(window(), kInformation, QStringLiteral("Information"),
                         m_texts.text("Messages", "MSG0302"), QSize(550, 200));
    return;
  }
  m_scan.setBackupPassword(std::move(m_password));
  WipeString(m_password);
  requestDeviceScan();
}

void CIosDeviceVrtWnd::requestDeviceScan() {
  m_deviceScan = true;
  m_sink.postEvent(kMsgStartScan, 0);
}

void CIosDeviceVrtWnd::onDeviceScanEnded(int scanEvent, std::string errorDescription) {
  if (scanEvent == static_cast<int>(kScanEventFailed)) {
    QString text = m_texts.text("Messages", "MSG0201");
    text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    const QString why =
        DeviceTextLine(
            QString::fromUtf8(errorDescription.data(), static_cast<qsizetype>(errorDescription.size())), true)
            .left(kMaxDescription)
            .trimmed();
    if (!why.isEmpty()) text += QStringLiteral("\n\n") + why;
    m_dialogs.messageBox(window(), kError, QStringLiteral("Error"), text, QSize(600, 200));
  }
  m_deviceScan = false;
  m_device.scanEnded();
}

void CIosDeviceVrtWnd::onEncryptionRestoring() {
  // Said where the user looks: a box over the window that does not wait for
  // an answer (the phone is what waits), and on the page.
  m_status->setText(m_texts.text("Messages", "MSG0604"));
  m_status->show();
  if (m_notice) return;
  m_notice = new CMessageBox(m_texts, kInformation, QStringLiteral("Information"),
                             m_texts.text("Messages", "MSG0604"), window());
  m_notice->setObjectName(QStringLiteral("EncryptionNotice"));
  m_notice->setAttribute(Qt::WA_DeleteOnClose);
  m_notice->setModal(false);
  m_notice->resize(550, 200);
  m_notice->show();
}

void CIosDeviceVrtWnd::onEncryptionRestored(int result) {
  m_status->hide();
  m_status->clear();
  if (m_notice) m_notice->close();
  if (result != 0) {
    m_dialogs.messageBox(window(), kWarning, QStringLiteral("Warning"), m_texts.text("Messages", "MSG0605"),
                         QSize(550, 200));
  }
}

}  // namespace fq::app

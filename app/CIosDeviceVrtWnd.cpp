#include "app/CIosDeviceVrtWnd.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/DialogHost.h"
#include "app/LanguageStore.h"

namespace fq::app {

CIosDeviceVrtWnd::CIosDeviceVrtWnd(const LanguageStore& texts, DialogHost& dialogs, QWidget* parent)
    : QWidget(parent), m_texts(texts), m_dialogs(dialogs) {
  setObjectName("IosDeviceVtrWnd");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(30, 30, 30, 30);
  auto* icon = new QLabel(this);
  icon->setObjectName("ImgDevice");
  icon->setPixmap(QIcon(":/skins/icons/phone.svg").pixmap(96, 96));
  icon->setAlignment(Qt::AlignCenter);
  auto* title = new QLabel(tr("Connect your device"), this);
  title->setObjectName("LblConnectTitle");
  title->setAlignment(Qt::AlignCenter);
  auto* hint = new QLabel(tr("Connect the phone with its cable and trust this computer."), this);
  hint->setObjectName("LblConnectHint");
  hint->setAlignment(Qt::AlignCenter);
  hint->setWordWrap(true);
  auto* scan = new QPushButton(tr("Start Scan"), this);
  scan->setObjectName("BtnStartScan");
  scan->setEnabled(false);
  layout->addStretch(1);
  layout->addWidget(icon);
  layout->addWidget(title);
  layout->addWidget(hint);
  layout->addSpacing(16);
  layout->addWidget(scan, 0, Qt::AlignHCenter);
  layout->addStretch(1);
  applyTexts();
}

void CIosDeviceVrtWnd::applyTexts() { m_texts.apply(this, "PageIosDevice"); }

void CIosDeviceVrtWnd::setControlsEnabled(bool enabled) { setEnabled(enabled); }

void CIosDeviceVrtWnd::showOpenFailure() {
  QString text = m_texts.text("Messages", "MSG0201");
  text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
  m_dialogs.messageBox(window(), kError, {}, text, QSize(600, 200));
}

}  // namespace fq::app

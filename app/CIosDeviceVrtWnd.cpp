#include "app/CIosDeviceVrtWnd.h"

#include <QPushButton>

#include "app/DialogHost.h"
#include "app/LanguageStore.h"

namespace fq::app {

CIosDeviceVrtWnd::CIosDeviceVrtWnd(const LanguageStore& texts, DialogHost& dialogs, QWidget* parent)
    : QWidget(parent), m_texts(texts), m_dialogs(dialogs), m_skin(QStringLiteral("PageIosDevice"), this) {
  setObjectName("IosDeviceVtrWnd");
  // Stays off until device detection finds a phone to scan.
  m_skin.control<QPushButton>("BtnStartScan")->setEnabled(false);
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

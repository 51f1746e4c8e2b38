#include "app/CScanVrtWnd.h"

#include <QPushButton>

#include "app/CDecryptionWnd.h"
#include "app/LanguageStore.h"

namespace fq::app {

CScanVrtWnd::CScanVrtWnd(const LanguageStore& texts, QWidget* parent)
    : QWidget(parent), m_texts(texts), m_skin(QStringLiteral("PageScan"), this) {
  setObjectName("ScanVtrWnd");
  connect(m_skin.control<QPushButton>("BtnHome"), &QPushButton::clicked, this, &CScanVrtWnd::homeRequested);
  applyTexts();
}

CScanVrtWnd::~CScanVrtWnd() { WipeString(m_password); }

void CScanVrtWnd::applyTexts() { m_texts.apply(this, "PageScan"); }

void CScanVrtWnd::setBackupPassword(std::string password) {
  WipeString(m_password);
  m_password = std::move(password);
}

void CScanVrtWnd::start(int source) {
  m_source = source;
  m_requests.push_back(Request{source, source == 1 ? m_backup : BackupInfo{}, !m_password.empty()});
}

}  // namespace fq::app

#include "app/CScanVrtWnd.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/CDecryptionWnd.h"
#include "app/LanguageStore.h"

namespace fq::app {

CScanVrtWnd::CScanVrtWnd(const LanguageStore& texts, QWidget* parent) : QWidget(parent), m_texts(texts) {
  setObjectName("ScanVtrWnd");
  auto* layout = new QVBoxLayout(this);
  auto* status = new QLabel(tr("Preparing the scan..."), this);
  status->setObjectName("LblScanStatus");
  status->setAlignment(Qt::AlignCenter);
  auto* home = new QPushButton(tr("Home"), this);
  home->setObjectName("BtnHome");
  layout->addStretch(1);
  layout->addWidget(status);
  layout->addWidget(home, 0, Qt::AlignHCenter);
  layout->addStretch(1);
  connect(home, &QPushButton::clicked, this, &CScanVrtWnd::homeRequested);
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

#include "app/CDecryptionWnd.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/DialogHost.h"
#include "app/LanguageStore.h"

namespace fq::app {

void WipeString(std::string& text) {
  volatile char* p = text.data();
  for (size_t i = 0; i < text.size(); ++i) p[i] = 0;
  text.clear();
}

CDecryptionWnd::CDecryptionWnd(const LanguageStore& texts, int mode, QWidget* owner) : CPopUpWnd(owner) {
  setObjectName("DecryptionWnd");
  titleLabel()->setObjectName("Title");
  titleLabel()->setText(tr("Encrypted backup"));
  auto* description = new QLabel(this);
  description->setObjectName("Description");
  description->setTextFormat(Qt::PlainText);
  description->setWordWrap(true);
  body()->addWidget(description, 1);
  auto* row = new QHBoxLayout;
  auto* label = new QLabel(tr("Password:"), this);
  label->setObjectName("LblPassword");
  m_edit = new QLineEdit(this);
  m_edit->setObjectName("EditPassword");
  m_edit->setEchoMode(QLineEdit::Password);
  m_edit->setMaxLength(kPasswordMaxLength);
  label->setBuddy(m_edit);
  row->addWidget(label);
  row->addWidget(m_edit, 1);
  body()->addLayout(row);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton(tr("OK"), this);
  ok->setObjectName("BtnOK");
  auto* cancel = new QPushButton(tr("Cancel"), this);
  cancel->setObjectName("BtnCancel");
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  body()->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, [this] {
    m_password = m_edit->text();
    m_edit->clear();
    done(kResultOk);
  });
  connect(cancel, &QPushButton::clicked, this, [this] { done(kResultCancel); });
  texts.apply(this, "DecryptionWnd");
  description->setText(texts.text("Messages", mode == 0 ? "MSG0601" : "MSG0602"));
  setWindowTitle(titleLabel()->text());
  m_edit->setFocus();
}

CDecryptionWnd::~CDecryptionWnd() { wipe(); }

void CDecryptionWnd::wipe() {
  std::fill(m_password.begin(), m_password.end(), QChar(u'\0'));
  m_password.clear();
  m_edit->clear();
}

void CDecryptionWnd::takePassword(std::string& out) {
  QByteArray bytes = m_password.toUtf8();
  out.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
  bytes.fill('\0');
  wipe();
}

}  // namespace fq::app

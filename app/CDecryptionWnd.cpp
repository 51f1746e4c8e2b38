#include "app/CDecryptionWnd.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "app/DialogHost.h"
#include "app/LanguageStore.h"

namespace fq::app {

void WipeString(std::string& text) {
  volatile char* p = text.data();
  for (size_t i = 0; i < text.size(); ++i) p[i] = 0;
  text.clear();
}

CDecryptionWnd::CDecryptionWnd(const LanguageStore& texts, int mode, QWidget* owner)
    : CPopUpWnd(owner, QStringLiteral("DecryptionWnd")) {
  setObjectName("DecryptionWnd");
  auto* description = controls().control<QLabel>("Description");
  description->setTextFormat(Qt::PlainText);
  m_edit = controls().control<QLineEdit>("EditPassword");
  // Whatever the skin says, the password is masked and as long as the tool takes.
  m_edit->setEchoMode(QLineEdit::Password);
  m_edit->setMaxLength(kPasswordMaxLength);
  connect(controls().control<QPushButton>("BtnOK"), &QPushButton::clicked, this, [this] {
    m_password = m_edit->text();
    m_edit->clear();
    done(kResultOk);
  });
  connect(controls().control<QPushButton>("BtnCancel"), &QPushButton::clicked, this,
          [this] { done(kResultCancel); });
  texts.apply(this, "DecryptionWnd");
  description->setText(texts.text("Messages", mode == 0 ? "MSG0601" : "MSG0602"));
  setWindowTitle(controls().control<QLabel>("Title")->text());
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

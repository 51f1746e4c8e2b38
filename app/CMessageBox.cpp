#include "app/CMessageBox.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

#include "app/DialogHost.h"
#include "app/LanguageStore.h"

namespace fq::app {
namespace {

struct KindLook {
  const char* skin;
  const char* titleKey;
  const char* icon;
  bool cancel;
};

constexpr std::array<KindLook, 5> kKinds{{
    {"MessageBox_Error", "MSG0401", ":/skins/icons/error.svg", false},
    {"MessageBox_Confirm", "MSG0402", ":/skins/icons/confirmation.svg", true},
    {"MessageBox_Information", "MSG0403", ":/skins/icons/information.svg", false},
    {"MessageBox_Warning", "MSG0405", ":/skins/icons/warning.svg", false},
    {"MessageBox_Question", "MSG0404", ":/skins/icons/question.svg", true},
}};

}  // namespace

CMessageBox::CMessageBox(const LanguageStore& texts, int kind, const QString& title, const QString& text,
                         QWidget* owner)
    : CPopUpWnd(owner), m_kind(kind >= 0 && kind < static_cast<int>(kKinds.size()) ? kind : kError) {
  const KindLook& look = kKinds[static_cast<size_t>(m_kind)];
  setObjectName(look.skin);
  auto* row = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setObjectName("icon");
  icon->setFixedSize(48, 48);
  icon->setPixmap(QIcon(look.icon).pixmap(48, 48));
  auto* message = new QLabel(this);
  message->setObjectName("message");
  message->setTextFormat(Qt::PlainText);
  message->setWordWrap(true);
  message->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  message->setTextInteractionFlags(Qt::TextSelectableByMouse);
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addSpacing(12);
  row->addWidget(message, 1);
  body()->addLayout(row, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton(tr("OK"), this);
  ok->setObjectName("okbtn");
  buttons->addWidget(ok);
  connect(ok, &QPushButton::clicked, this, [this] { done(kResultOk); });
  if (look.cancel) {
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName("cancelbtn");
    buttons->addWidget(cancel);
    connect(cancel, &QPushButton::clicked, this, [this] { done(kResultCancel); });
  }
  body()->addLayout(buttons);
  texts.apply(this, "MessageBox");
  titleLabel()->setText(title.isEmpty() ? texts.text("Messages", look.titleKey) : title);
  message->setText(text);
  setWindowTitle(titleLabel()->text());
  ok->setFocus();
}

}  // namespace fq::app

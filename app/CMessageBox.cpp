#include "app/CMessageBox.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
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
    : CPopUpWnd(owner, QStringLiteral("MessageBox")),
      m_kind(kind >= 0 && kind < static_cast<int>(kKinds.size()) ? kind : kError) {
  const KindLook& look = kKinds[static_cast<size_t>(m_kind)];
  setObjectName(look.skin);
  auto* icon = controls().control<QLabel>("icon");
  icon->setPixmap(QIcon(look.icon).pixmap(48, 48));
  auto* message = controls().control<QLabel>("message");
  message->setTextFormat(Qt::PlainText);
  auto* ok = controls().control<QPushButton>("okbtn");
  connect(ok, &QPushButton::clicked, this, [this] { done(kResultOk); });
  auto* cancel = controls().control<QPushButton>("cancelbtn");
  cancel->setVisible(look.cancel);
  connect(cancel, &QPushButton::clicked, this, [this] { done(kResultCancel); });
  texts.apply(this, "MessageBox");
  auto* titleLabel = controls().control<QLabel>("title");
  titleLabel->setText(title.isEmpty() ? texts.text("Messages", look.titleKey) : title);
  message->setText(text);
  setWindowTitle(titleLabel->text());
  ok->setFocus();
}

}  // namespace fq::app

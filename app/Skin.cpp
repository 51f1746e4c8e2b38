#include "app/Skin.h"

#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QUiLoader>
#include <QVBoxLayout>

#include "app/CButtonGifUI.h"
#include "app/CLabelExUI.h"
#include "app/MessagesList.h"

namespace fq::app {
namespace {

// The loader knows our own controls by the class names the forms use.
class SkinLoader : public QUiLoader {
 public:
  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
    QWidget* made = nullptr;
    if (className == QLatin1String("CButtonGifUI"))
      made = new CButtonGifUI(parent);
    else if (className == QLatin1String("CLabelExUI"))
      made = new CLabelExUI(parent);
    else if (className == QLatin1String("MessagesList"))
      made = new MessagesList(parent);
    else
      return QUiLoader::createWidget(className, parent, name);
    made->setObjectName(name);
    return made;
  }
};

// What a form cannot say in Designer's own properties, it says in dynamic
// ones: `iconFile` (an SVG drawn at `iconSize` logical pixels, so it stays
// sharp at any scale) and `mouseTransparent` (a picture or text over a button).
void applySkinProperties(QWidget* form) {
  for (auto* widget : form->findChildren<QWidget*>()) {
    if (widget->property("mouseTransparent").toBool()) widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    const QString icon = widget->property("iconFile").toString();
    if (icon.isEmpty()) continue;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      QSize size = widget->property("iconSize").toSize();
      if (!size.isValid()) size = label->minimumSize();
      label->setPixmap(QIcon(icon).pixmap(size));
    }
  }
}

}  // namespace

Skin::Skin(const QString& name, QWidget* host) : m_host(host) {
  // A form under the "skin" search path (set by the program: its own skins
  // folder first) replaces the packed one, so a skin is swapped as files.
  QFile file(QStringLiteral("skin:ui/%1.ui").arg(name));
  if (!file.exists()) file.setFileName(QStringLiteral(":/skins/ui/%1.ui").arg(name));
  if (file.open(QIODevice::ReadOnly)) {
    SkinLoader loader;
    m_form = loader.load(&file, host);
  }
  if (!m_form) {
    m_missing.append(name);
    return;
  }
  applySkinProperties(m_form);
  auto* layout = new QVBoxLayout(host);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(m_form);
}

}  // namespace fq::app

#pragma once
// A window's skin: a Designer form ("skin:ui/<name>.ui", else the packed
// ":/skins/ui/<name>.ui") loaded into its host widget, and the controls the
// code finds in it by objectName.
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <type_traits>

namespace fq::app {

class Skin {
 public:
  // Loads the form `name` and lays it over the whole of `host`.
  Skin(const QString& name, QWidget* host);

  // The loaded form; null when the skin file could not be read.
  QWidget* form() const { return m_form; }

  // The control of that name and type. A skin without it still gives the code
  // a control: a hidden stand-in, recorded in missing(), so a swapped skin
  // that lacks a control loses that control, never the window.
  template <class T>
  T* control(const char* name) {
    if (T* found = m_host->findChild<T*>(QString::fromLatin1(name))) return found;
    return standIn<T>(name);
  }

  // Names the code asked for that the skin does not have (with that type).
  const QStringList& missing() const { return m_missing; }

 private:
  template <class T>
  T* standIn(const char* name) {
    m_missing.append(QString::fromLatin1(name));
    auto* made = new T(m_host);  // owned by the host, as every control
    made->setObjectName(QString::fromLatin1(name));
    if constexpr (std::is_base_of_v<QWidget, T>) made->hide();
    return made;
  }

  QWidget* m_host;
  QWidget* m_form = nullptr;
  QStringList m_missing;
};

}  // namespace fq::app

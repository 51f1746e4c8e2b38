#include "app/Application.h"

#include <QMetaObject>
#include <cstdlib>
#include <exception>

#include "app/CrashReport.h"

namespace fq::app {

QByteArray HandlerName(const QObject* receiver, const QEvent* event) {
  QByteArray name = receiver ? QByteArray(receiver->metaObject()->className()) : QByteArray("QObject");
  // Our classes are spelled without the namespace, as the reports have always named them.
  if (const qsizetype colon = name.lastIndexOf("::"); colon >= 0) name = name.mid(colon + 2);
  name += "::event(";
  name += QByteArray::number(event ? static_cast<int>(event->type()) : 0);
  name += ")";
  return name;
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    const QByteArray cause = HandlerName(receiver, event) + ": " + error.what();
    WriteCrashReport(cause.constData());
  } catch (...) {
    WriteCrashReport(HandlerName(receiver, event).constData());
  }
  std::_Exit(EXIT_FAILURE);
}

}  // namespace fq::app

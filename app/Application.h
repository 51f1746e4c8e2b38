#pragma once
// The program's QApplication: an exception that leaves an event handler is
// turned into a crash report naming the handler, and the process ends there.
#include <QApplication>

namespace fq::app {

class Application : public QApplication {
  Q_OBJECT
 public:
  Application(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override;
};

// "CMainWnd::event(1000)": the class and the event an exception escaped from.
QByteArray HandlerName(const QObject* receiver, const QEvent* event);

}  // namespace fq::app

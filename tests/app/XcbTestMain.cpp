// The windows on a real X server: a private Xvfb, the xcb platform, Fusion
// style and DejaVu Sans. Without a server that can be started the whole
// program is skipped (exit code 77, which CTest reports as skipped).
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QStyleFactory>
#include <cstdio>

#include "XvfbServer.h"

int main(int argc, char** argv) {
  // The skins live in a static library: its resources are registered by hand.
  Q_INIT_RESOURCE(skins);
  testing::InitGoogleTest(&argc, argv);
  // Room for the main window at twice its size.
  const fq::app::test::XvfbServer server(2400, 1600);
  if (server.display().empty()) {
    std::printf("[  SKIPPED ] no X display: %s\n", server.failure().c_str());
    return 77;
  }
  qputenv("DISPLAY", server.display().c_str());
  qputenv("QT_QPA_PLATFORM", "xcb");
  int code = 0;
  {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    QFile style(QStringLiteral(":/skins/skin.qss"));
    if (style.open(QIODevice::ReadOnly)) app.setStyleSheet(QString::fromUtf8(style.readAll()));
    code = RUN_ALL_TESTS();
  }
  return code;
}

// One QApplication for every case: offscreen, Fusion style, DejaVu Sans, so
// sizes and pictures do not depend on the desktop the tests run on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QStyleFactory>
#include <cstdlib>

int main(int argc, char** argv) {
  // The skins live in a static library: its resources are registered by hand.
  Q_INIT_RESOURCE(skins);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
  QFile style(QStringLiteral(":/skins/skin.qss"));
  if (style.open(QIODevice::ReadOnly)) app.setStyleSheet(QString::fromUtf8(style.readAll()));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

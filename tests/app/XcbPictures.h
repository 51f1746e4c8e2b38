#pragma once
// Pictures of windows on the test X server, and the check that every shown
// label's text fits it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <algorithm>

namespace fq::app::test {

// Saves what the X server shows of `window` (dialogs over it included) as
// <name>@<scale>x.png in FERNQUILL_SCREENSHOTS, when that is set.
inline void savePicture(const QWidget& window, const QString& name) {
  const QString folder = qEnvironmentVariable("FERNQUILL_SCREENSHOTS");
  if (folder.isEmpty()) return;
  QDir().mkpath(folder);
  QTest::qWait(100);  // let the last paint reach the server
  const QRect area = window.frameGeometry();
  const QPixmap shot = window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  const QString scale = QString::number(qApp->devicePixelRatio());
  EXPECT_TRUE(shot.save(QStringLiteral("%1/%2@%3x.png").arg(folder, name, scale))) << name.toStdString();
}

// No shown label's text is wider than the label: single lines by their
// width, wrapped texts by the height they need at the label's width.
inline void expectTextsFit(const QWidget& root) {
  for (const QLabel* label : root.findChildren<QLabel*>()) {
    if (!label->isVisible() || label->text().isEmpty()) continue;
    SCOPED_TRACE(label->objectName().toStdString() + ": " + label->text().toStdString());
    const QRect inside = label->contentsRect();
    if (label->wordWrap()) {
      EXPECT_LE(label->heightForWidth(label->width()), label->height());
      continue;
    }
    int widest = 0;
    for (const QString& line : label->text().split(QLatin1Char('\n')))
      widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
    EXPECT_LE(widest, inside.width());
  }
}

}  // namespace fq::app::test

#pragma once
// Clicks FinishBtn of any recovery window once it shows it, for as long as
// this object lives: the window runs modally, so the test cannot click itself.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace fq::app::test {

class FinishWhenDone {
 public:
  FinishWhenDone() {
    QObject::connect(&m_poll, &QTimer::timeout, [] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* finish =
            w->objectName() == "RecoverProcessWnd" ? w->findChild<QPushButton*>("FinishBtn") : nullptr;
        if (finish && finish->isVisible()) QTest::mouseClick(finish, Qt::LeftButton);
      }
    });
    m_poll.start(20);
  }

 private:
  QTimer m_poll;
};

}  // namespace fq::app::test

#include "app/CPopUpWnd.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QWindow>

#include "app/DialogHost.h"

namespace fq::app {
namespace {
constexpr int kTitleBand = 40;
}

CPopUpWnd::CPopUpWnd(QWidget* owner, const QString& skin)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), m_skin(skin, this) {
  setModal(true);
  setMinimumSize(430, 170);
  setProperty("popup", true);
  connect(m_skin.control<QToolButton>("closebtn"), &QToolButton::clicked, this, [this] { requestClose(); });
}

int CPopUpWnd::run() {
  // Enter must not pick a button: no push button may act as the default.
  for (auto* button : findChildren<QPushButton*>()) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  return exec();
}

void CPopUpWnd::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      event->accept();
      requestClose();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void CPopUpWnd::reject() { requestClose(); }

void CPopUpWnd::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && event->position().y() < kTitleBand && windowHandle())
    windowHandle()->startSystemMove();
  QDialog::mousePressEvent(event);
}

void CPopUpWnd::showEvent(QShowEvent* event) {
  // Centred over the owner, else over the screen, kept inside the screen.
  const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
  QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
  QRect area = owner ? owner->frameGeometry() : (screen ? screen->availableGeometry() : QRect());
  QRect box(QPoint(0, 0), size());
  box.moveCenter(area.center());
  if (screen) {
    const QRect avail = screen->availableGeometry();
    box.moveLeft(std::max(avail.left(), std::min(box.left(), avail.right() - box.width() + 1)));
    box.moveTop(std::max(avail.top(), std::min(box.top(), avail.bottom() - box.height() + 1)));
  }
  move(box.topLeft());
  QDialog::showEvent(event);
}

}  // namespace fq::app

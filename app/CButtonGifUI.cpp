#include "app/CButtonGifUI.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace fq::app {

CButtonGifUI::CButtonGifUI(QWidget* parent) : QAbstractButton(parent) {}

bool CButtonGifUI::setGifFile(const QString& file) {
  stop();
  auto movie = std::make_unique<QMovie>(file);
  if (!movie->isValid()) {
    m_movie.reset();
    update();
    return false;
  }
  // QMovie follows each frame's own delay.
  movie->setCacheMode(QMovie::CacheAll);
  connect(movie.get(), &QMovie::frameChanged, this, qOverload<>(&QWidget::update));
  m_movie = std::move(movie);
  m_movie->jumpToFrame(0);
  update();
  return true;
}

void CButtonGifUI::play() {
  if (m_movie && m_movie->state() != QMovie::Running) m_movie->start();
}

void CButtonGifUI::stop() {
  if (m_movie) m_movie->stop();
  update();
}

void CButtonGifUI::hideEvent(QHideEvent* event) {
  stop();
  QAbstractButton::hideEvent(event);
}

void CButtonGifUI::paintEvent(QPaintEvent*) {
  if (m_movie) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), m_movie->currentPixmap());
    return;
  }
  QStylePainter painter(this);
  QStyleOptionButton option;
  option.initFrom(this);
  option.text = text();
  option.icon = icon();
  option.iconSize = iconSize();
  if (isDown()) option.state |= QStyle::State_Sunken;
  painter.drawControl(QStyle::CE_PushButton, option);
}

}  // namespace fq::app

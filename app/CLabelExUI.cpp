#include "app/CLabelExUI.h"

#include <QPainter>

namespace fq::app {

CLabelExUI::CLabelExUI(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void CLabelExUI::setText(const QString& text) {
  m_text = text;
  setToolTip({});
  updateGeometry();
  update();
}

void CLabelExUI::setTextFlags(int flags) {
  m_flags = flags;
  updateGeometry();
  update();
}

void CLabelExUI::setTextPadding(QMargins padding) {
  m_padding = padding;
  updateGeometry();
  update();
}

int CLabelExUI::heightForWidth(int width) const {
  const QRect inner(0, 0, std::max(1, width - m_padding.left() - m_padding.right()), 100000);
  return fontMetrics().boundingRect(inner, m_flags, m_text).height() + m_padding.top() + m_padding.bottom();
}

QSize CLabelExUI::sizeHint() const {
  const QSize text = fontMetrics().boundingRect(QRect(0, 0, 300, 100000), m_flags, m_text).size();
  return text.grownBy(m_padding);
}

void CLabelExUI::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  painter.drawText(rect().marginsRemoved(m_padding), m_flags, m_text);
}

}  // namespace fq::app

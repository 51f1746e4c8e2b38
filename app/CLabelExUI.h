#pragma once
// A label that draws its text with exactly its own text flags (so word wrap
// wraps), in its text colour or, when disabled, its disabled colour.
#include <QWidget>

namespace fq::app {

class CLabelExUI : public QWidget {
  Q_OBJECT
 public:
  explicit CLabelExUI(QWidget* parent = nullptr);
  void setText(const QString& text);
  QString text() const { return m_text; }
  void setTextFlags(int flags);
  int textFlags() const { return m_flags; }
  void setTextPadding(QMargins padding);
  QSize sizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString m_text;
  int m_flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
  QMargins m_padding;
};

}  // namespace fq::app

#pragma once
// Base of the program's modal windows: a frameless box with a title band that
// drags it and a close button. It ends with 1 (OK) or 2 (cancel, close,
// Escape); Enter does nothing, so no button is a default.
#include <QDialog>

class QLabel;
class QToolButton;
class QVBoxLayout;

namespace fq::app {

class CPopUpWnd : public QDialog {
  Q_OBJECT
 public:
  explicit CPopUpWnd(QWidget* owner);
  // Shows the window modally over its owner and returns its result.
  int run();

 protected:
  QLabel* titleLabel() const { return m_title; }
  QVBoxLayout* body() const { return m_body; }
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;
  void mousePressEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* m_title;
  QToolButton* m_close;
  QVBoxLayout* m_body;
};

}  // namespace fq::app

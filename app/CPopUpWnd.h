#pragma once
// Base of the program's modal windows: a frameless box with a title band that
// drags it and a close button. It ends with 1 (OK) or 2 (cancel, close,
// Escape); Enter does nothing, so no button is a default.
#include <QDialog>

#include "app/Skin.h"

namespace fq::app {

class CPopUpWnd : public QDialog {
  Q_OBJECT
 public:
  // `skin` names the window's form; it has a `closebtn`.
  CPopUpWnd(QWidget* owner, const QString& skin);
  // Shows the window modally over its owner and returns its result.
  int run();
  const Skin& skin() const { return m_skin; }
  // What closebtn, Escape and the window manager's close ask for: ends with 2.
  // A window with work under way asks first.
  virtual void requestClose() { done(2); }

 protected:
  // The skin to look controls up in.
  Skin& controls() { return m_skin; }
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;
  void mousePressEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  Skin m_skin;
};

}  // namespace fq::app

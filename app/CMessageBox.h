#pragma once
// The message box of every message, question and warning: one of five kinds,
// each with its icon, default title and buttons (OK → 1, Cancel → 2).
#include "app/CPopUpWnd.h"

namespace fq::app {

class LanguageStore;

class CMessageBox : public CPopUpWnd {
  Q_OBJECT
 public:
  CMessageBox(const LanguageStore& texts, int kind, const QString& title, const QString& text,
              QWidget* owner);
  // The kind actually shown: kinds outside 0..4 show as an Error.
  int kind() const { return m_kind; }

 private:
  int m_kind;
};

}  // namespace fq::app

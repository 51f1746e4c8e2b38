#pragma once
// The password window of an encrypted backup or device: mode 0 explains the
// device case, mode 1 the backup case. The typed password is handed out once
// and wiped from the window.
#include <string>

#include "app/CPopUpWnd.h"

class QLineEdit;

namespace fq::app {

class LanguageStore;

inline constexpr int kPasswordMaxLength = 256;

class CDecryptionWnd : public CPopUpWnd {
  Q_OBJECT
 public:
  CDecryptionWnd(const LanguageStore& texts, int mode, QWidget* owner);
  ~CDecryptionWnd() override;
  // Moves the password typed into `out` (UTF-8) and clears it here.
  void takePassword(std::string& out);

 private:
  void wipe();
  QLineEdit* m_edit;
  QString m_password;
};

// Overwrites a string's bytes before it is released.
void WipeString(std::string& text);

}  // namespace fq::app

#include "app/ModalDialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

#include "app/CDecryptionWnd.h"
#include "app/CMessageBox.h"

namespace fq::app {

int ModalDialogs::messageBox(QWidget* owner, int kind, const QString& title, const QString& text,
                             QSize size) {
  CMessageBox box(m_texts, kind, title, text, owner);
  box.resize(size);
  return box.run();
}

int ModalDialogs::askPassword(QWidget* owner, int mode, std::string& password) {
  CDecryptionWnd window(m_texts, mode, owner);
  window.resize(550, 200);
  const int result = window.run();
  if (result == kResultOk) window.takePassword(password);
  return result;
}

QString ModalDialogs::pickFolder(QWidget* owner, const QString& title) {
  return QFileDialog::getExistingDirectory(owner, title, {}, QFileDialog::ShowDirsOnly);
}

void ModalDialogs::openUrl(const QString& url) { QDesktopServices::openUrl(QUrl(url)); }

}  // namespace fq::app

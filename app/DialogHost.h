#pragma once
// The one way the windows ask the user something: message boxes, the password
// window, the folder picker and web pages. The program shows real modal
// windows (ModalDialogs); tests answer through their own host.
#include <QSize>
#include <QString>
#include <string>

class QWidget;

namespace fq::app {

// Kinds of message box; any other number shows as an Error.
enum MessageKind : int { kError = 0, kConfirm = 1, kInformation = 2, kWarning = 3, kQuestion = 4 };

// Results of every modal window.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;

class DialogHost {
 public:
  virtual ~DialogHost() = default;
  // An empty title takes the kind's default title.
  virtual int messageBox(QWidget* owner, int kind, const QString& title, const QString& text, QSize size) = 0;
  // The password window; on 1 `password` holds what was typed.
  virtual int askPassword(QWidget* owner, int mode, std::string& password) = 0;
  // The folder chosen, or empty when the picker was closed.
  virtual QString pickFolder(QWidget* owner, const QString& title) = 0;
  virtual void openUrl(const QString& url) = 0;
};

}  // namespace fq::app

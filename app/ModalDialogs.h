#pragma once
// The dialog host of the running program: real modal windows over their owner.
#include "app/DialogHost.h"

namespace fq::app {

class LanguageStore;

class ModalDialogs : public DialogHost {
 public:
  explicit ModalDialogs(const LanguageStore& texts) : m_texts(texts) {}
  int messageBox(QWidget* owner, int kind, const QString& title, const QString& text, QSize size) override;
  int askPassword(QWidget* owner, int mode, std::string& password) override;
  QString pickFolder(QWidget* owner, const QString& title) override;
  void openUrl(const QString& url) override;

 private:
  const LanguageStore& m_texts;
};

}  // namespace fq::app

#pragma once
// A dialog host that answers from a script and records what was asked.
#include <QString>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "app/DialogHost.h"

namespace fq::app::test {

class ScriptedDialogs : public DialogHost {
 public:
  struct Box {
    int kind;
    QString title;
    QString text;
    QSize size;
  };
  int messageBox(QWidget* owner, int kind, const QString& title, const QString& text, QSize size) override;
  int askPassword(QWidget* owner, int mode, std::string& password) override;
  QString pickFolder(QWidget* owner, const QString& title) override;
  void openUrl(const QString& url) override { urls.push_back(url); }

  // Answers, taken in order; a box without a scripted answer gets OK, a
  // password window without one is cancelled, a picker without one is closed.
  std::deque<int> boxAnswers;
  std::deque<std::pair<int, std::string>> passwordAnswers;
  std::deque<QString> folderAnswers;

  std::vector<Box> boxes;
  std::vector<int> passwordModes;
  std::vector<QString> pickerTitles;
  std::vector<QString> urls;
};

}  // namespace fq::app::test

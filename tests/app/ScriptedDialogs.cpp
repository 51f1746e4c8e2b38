#include "ScriptedDialogs.h"

namespace fq::app::test {

int ScriptedDialogs::messageBox(QWidget*, int kind, const QString& title, const QString& text, QSize size) {
  boxes.push_back({kind, title, text, size});
  if (boxAnswers.empty()) return kResultOk;
  const int answer = boxAnswers.front();
  boxAnswers.pop_front();
  return answer;
}

int ScriptedDialogs::askPassword(QWidget*, int mode, std::string& password) {
  passwordModes.push_back(mode);
  if (passwordAnswers.empty()) return kResultCancel;
  auto [result, typed] = passwordAnswers.front();
  passwordAnswers.pop_front();
  if (result == kResultOk) password = typed;
  return result;
}

QString ScriptedDialogs::pickFolder(QWidget*, const QString& title) {
  pickerTitles.push_back(title);
  if (folderAnswers.empty()) return {};
  const QString folder = folderAnswers.front();
  folderAnswers.pop_front();
  return folder;
}

}  // namespace fq::app::test

#include "app/LanguageStore.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QWidget>

#include "app/IniFile.h"

namespace fq::app {
namespace {

constexpr const char* kLanguageSection = "DefaultLanguage";
constexpr const char* kLanguageKey = "Default";

// A language name becomes a file name: nothing that leaves the folder.
bool isSafeName(const std::string& name) {
  return !name.empty() && name.size() < 64 && name.find('/') == std::string::npos && name != "." &&
         name != "..";
}

void setControlText(QObject* control, const QString& text) {
  if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->setPlaceholderText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
    group->setTitle(text);
  } else if (auto* action = qobject_cast<QAction*>(control)) {
    action->setText(text);
  } else {
    return;
  }
  if (auto* widget = qobject_cast<QWidget*>(control); widget && widget->parentWidget())
    widget->parentWidget()->updateGeometry();
}

}  // namespace

LanguageStore::LanguageStore(std::string programFolder, std::string userConfig)
    : m_programFolder(std::move(programFolder)), m_userConfig(std::move(userConfig)) {
  const IniFile program = IniFile::Load(m_programFolder + "/config.ini");
  const IniFile user = IniFile::Load(m_userConfig);
  std::string chosen = user.value(kLanguageSection, kLanguageKey);
  if (!isSafeName(chosen)) chosen = program.value(kLanguageSection, kLanguageKey, "English");
  if (isSafeName(chosen)) m_current = chosen;
  if (const IniSection* offered = program.section("Languages")) m_languages = offered->entries;
  loadTexts();
}

void LanguageStore::loadTexts() {
  m_sections.clear();
  const IniFile file = IniFile::Load(m_programFolder + "/Languages/" + m_current + ".ini");
  for (const auto& s : file.sections()) m_sections[s.name] = s.entries;
}

QString LanguageStore::text(const std::string& section, const std::string& key) const {
  const auto s = m_sections.find(section);
  if (s == m_sections.end()) return {};
  for (const auto& [k, v] : s->second)
    if (k == key) return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
  return {};
}

void LanguageStore::apply(QObject* root, const std::string& section) const {
  const auto s = m_sections.find(section);
  if (!root || s == m_sections.end()) return;
  for (const auto& [key, value] : s->second) {
    const QString name = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
    QObject* control = root->objectName() == name ? root : root->findChild<QObject*>(name);
    if (control)
      setControlText(control, QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
  }
}

bool LanguageStore::setLanguage(const std::string& name) {
  if (!isSafeName(name)) return false;
  m_current = name;
  loadTexts();
  QFile existing(QFile::decodeName(m_userConfig.c_str()));
  std::string text;
  if (existing.open(QIODevice::ReadOnly)) text = existing.readAll().toStdString();
  const std::string updated = SetIniValue(text, kLanguageSection, kLanguageKey, name);
  const QString path = QFile::decodeName(m_userConfig.c_str());
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly)) return false;
  out.write(updated.data(), static_cast<qint64>(updated.size()));
  return out.commit();
}

}  // namespace fq::app

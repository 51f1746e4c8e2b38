#pragma once
// The texts the windows show, read from the current language file of the
// program's Languages folder. The language choice is the user's: it is kept
// in the user's own config.ini (read first), the program's config.ini only
// gives the default and the offered languages.
#include <QString>
#include <map>
#include <string>
#include <utility>
#include <vector>

class QObject;

namespace fq::app {

class LanguageStore {
 public:
  // `programFolder` holds config.ini and Languages/; `userConfig` is the
  // user's config.ini (need not exist).
  LanguageStore(std::string programFolder, std::string userConfig);

  const std::string& currentLanguage() const { return m_current; }
  // Offered languages: name (also the file name) and the text shown for it.
  const std::vector<std::pair<std::string, std::string>>& languages() const { return m_languages; }

  // The text of `key` in `section`; empty when either is missing.
  QString text(const std::string& section, const std::string& key) const;
  // Sets every control of `root` named by a key of `section`; keys without
  // a control are left alone. Texts are plain text, never markup.
  void apply(QObject* root, const std::string& section) const;

  // Remembers the choice in the user's config.ini and reloads the texts.
  // False when the user's config cannot be written (the texts still switch).
  bool setLanguage(const std::string& name);

 private:
  void loadTexts();

  std::string m_programFolder;
  std::string m_userConfig;
  std::string m_current = "English";
  std::vector<std::pair<std::string, std::string>> m_languages;
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> m_sections;
};

}  // namespace fq::app

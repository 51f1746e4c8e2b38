#pragma once
// An ini file read as the language and settings files are written: UTF-8 with
// or without a byte-order mark, LF or CR LF lines, "[section]" headers and
// "key=text" lines. The first line of a key in a section wins.
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fq::app {

struct IniSection {
  std::string name;
  // Keys in file order, first occurrence only.
  std::vector<std::pair<std::string, std::string>> entries;
};

class IniFile {
 public:
  // An empty file when `path` cannot be read.
  static IniFile Load(const std::string& path);
  static IniFile Parse(std::string_view text);

  const std::vector<IniSection>& sections() const { return m_sections; }
  const IniSection* section(std::string_view name) const;
  // `fallback` when the section or key is missing.
  std::string value(std::string_view section, std::string_view key, std::string_view fallback = {}) const;
  bool loaded() const { return m_loaded; }

 private:
  std::vector<IniSection> m_sections;
  bool m_loaded = false;
};

// Rewrites one key of an ini text, keeping every other line; adds the section
// or key when missing.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace fq::app

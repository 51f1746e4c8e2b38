#include "app/IniFile.h"

#include <fstream>
#include <iterator>
#include <set>

namespace fq::app {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::string_view stripBom(std::string_view text) {
  constexpr std::string_view bom = "\xEF\xBB\xBF";
  if (text.substr(0, bom.size()) == bom) text.remove_prefix(bom.size());
  return text;
}

// Calls `line` for each line without its end-of-line characters.
template <typename F>
void forEachLine(std::string_view text, F&& line) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view one = text.substr(0, end);
    if (!one.empty() && one.back() == '\r') one.remove_suffix(1);
    line(one);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

bool isHeader(std::string_view line, std::string_view& name) {
  const std::string_view t = trim(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  name = trim(t.substr(1, t.size() - 2));
  return true;
}

}  // namespace

IniFile IniFile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  IniFile file = Parse(text);
  file.m_loaded = true;
  return file;
}

IniFile IniFile::Parse(std::string_view text) {
  IniFile file;
  IniSection* current = nullptr;
  std::set<std::string> keysOfCurrent;
  forEachLine(stripBom(text), [&](std::string_view line) {
    std::string_view name;
    if (isHeader(line, name)) {
      // A section named twice continues the first one.
      current = nullptr;
      for (auto& s : file.m_sections)
        if (s.name == name) current = &s;
      if (!current) current = &file.m_sections.emplace_back(IniSection{std::string(name), {}});
      keysOfCurrent.clear();
      for (const auto& [k, v] : current->entries) keysOfCurrent.insert(k);
      return;
    }
    const std::string_view t = trim(line);
    if (!current || t.empty() || t.front() == ';' || t.front() == '#') return;
    const size_t eq = t.find('=');
    const std::string key(trim(t.substr(0, eq)));
    const std::string_view text = eq == std::string_view::npos ? t : t.substr(eq + 1);
    if (key.empty() || !keysOfCurrent.insert(key).second) return;
    current->entries.emplace_back(key, std::string(text));
  });
  return file;
}

const IniSection* IniFile::section(std::string_view name) const {
  for (const auto& s : m_sections)
    if (s.name == name) return &s;
  return nullptr;
}

std::string IniFile::value(std::string_view sectionName, std::string_view key,
                           std::string_view fallback) const {
  if (const IniSection* s = section(sectionName))
    for (const auto& [k, v] : s->entries)
      if (k == key) return v;
  return std::string(fallback);
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
  std::string out;
  bool inSection = false, sectionSeen = false, written = false;
  const std::string newLine = std::string(key) + "=" + std::string(value) + "\n";
  forEachLine(stripBom(text), [&](std::string_view line) {
    std::string_view name;
    if (isHeader(line, name)) {
      if (inSection && !written) {
        out += newLine;
        written = true;
      }
      inSection = name == section;
      sectionSeen = sectionSeen || inSection;
    } else if (inSection && !written) {
      const std::string_view t = trim(line);
      if (trim(t.substr(0, t.find('='))) == key && t.find('=') != std::string_view::npos) {
        out += newLine;
        written = true;
        return;
      }
    }
    out.append(line);
    out += '\n';
  });
  if (!written) {
    if (!sectionSeen) out += "[" + std::string(section) + "]\n";
    out += newLine;
  }
  return out;
}

}  // namespace fq::app

#include "engine/sqlite/VirtualTableModule.h"

#include <cctype>

#include "engine/platform/Text.h"
#include "engine/sqlite/SqlTokens.h"

namespace fq {

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// An option's value as the modules read it: one quoted or bare token,
// unquoted; anything longer as written.
std::string optionValue(std::string_view text) {
  const std::vector<SqlToken> tokens = tokenizeSql(text);
  if (tokens.size() == 1) return tokens[0].value();
  return std::string(trimmed(text));
}

// Both full-text versions take "tokenize" followed by anything but a name
// character as the tokenizer, whatever follows it.
bool isTokenizerSpec(std::string_view argument) {
  if (argument.size() <= 8 || CompareNoCase(argument.substr(0, 8), "tokenize") != 0) return false;
  const auto c = static_cast<unsigned char>(argument[8]);
  return !(std::isalnum(c) || c == '_' || c == '$' || c >= 0x80);
}

void setContent(VirtualTableLayout& layout, const std::string& value) {
  layout.content = value.empty() ? FtsContent::None : FtsContent::External;
  layout.contentTable = value;
}

// fts3 reads every argument but the tokenizer as a column; fts4 also takes
// any argument holding '=' as an option (content=, languageid=, prefix=, ...).
// A column's name is its first token. A table that declares none has one,
// "content".
VirtualTableLayout fts34Layout(VirtualModule module, const std::vector<std::string>& arguments) {
  VirtualTableLayout layout;
  layout.module = module;
  for (const std::string& argument : arguments) {
    if (isTokenizerSpec(argument)) continue;
    if (const size_t equals = argument.find('=');
        module == VirtualModule::Fts4 && equals != std::string::npos) {
      const std::string_view key = trimmed(std::string_view(argument).substr(0, equals));
      const std::string value = optionValue(std::string_view(argument).substr(equals + 1));
      if (CompareNoCase(key, "content") == 0) setContent(layout, value);
      if (CompareNoCase(key, "order") == 0) layout.descending = CompareNoCase(value, "desc") == 0;
      continue;
    }
    const std::vector<SqlToken> tokens = tokenizeSql(argument);
    if (tokens.empty()) continue;
    layout.columns.push_back(tokens[0].value());
  }
  if (layout.columns.empty()) layout.columns.emplace_back("content");
  return layout;
}

// fts5 takes "bareword = value" as an option and anything else as a column:
// its name, then perhaps UNINDEXED. A quoted name before '=' is refused.
VirtualTableLayout fts5Layout(const std::vector<std::string>& arguments) {
  VirtualTableLayout layout;
  layout.module = VirtualModule::Fts5;
  for (const std::string& argument : arguments) {
    const std::vector<SqlToken> tokens = tokenizeSql(argument);
    if (tokens.empty()) return {};
    if (tokens.size() >= 2 && tokens[1].is('=')) {
      if (tokens[0].kind != SqlToken::Kind::Word) return {};
      if (CompareNoCase(tokens[0].text, "content") == 0) {
        const size_t equals = argument.find('=');
        setContent(layout, optionValue(std::string_view(argument).substr(equals + 1)));
      }
      continue;
    }
    layout.columns.push_back(tokens[0].value());
  }
  if (layout.columns.empty()) return {};
  return layout;
}

// rtree: the id column, two to ten coordinates (two per dimension), then the
// auxiliary columns, each declared with a leading '+'. A name is the first token.
VirtualTableLayout rtreeLayout(VirtualModule module, const std::vector<std::string>& arguments) {
  VirtualTableLayout layout;
  layout.module = module;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::vector<SqlToken> tokens = tokenizeSql(arguments[i]);
    const bool auxiliary = i > 0 && !tokens.empty() && tokens[0].is('+');
    const size_t at = auxiliary ? 1 : 0;
    if (tokens.size() <= at || !tokens[at].isName()) return {};
    layout.columns.push_back(tokens[at].value());
    if (auxiliary) {
      ++layout.auxiliary;
    } else if (layout.auxiliary > 0) {
      return {};  // auxiliary columns must come last
    } else if (i > 0) {
      ++layout.coordinates;
    }
  }
  if (layout.coordinates < 2 || layout.coordinates > 10 || layout.coordinates % 2 != 0 ||
      layout.auxiliary > 100) {
    return {};
  }
  return layout;
}

}  // namespace

VirtualTableLayout LayoutOfVirtualTable(std::string_view module, const std::vector<std::string>& arguments) {
  const auto is = [module](std::string_view name) { return CompareNoCase(module, name) == 0; };
  if (is("fts3")) return fts34Layout(VirtualModule::Fts3, arguments);
  if (is("fts4")) return fts34Layout(VirtualModule::Fts4, arguments);
  if (is("fts5")) return fts5Layout(arguments);
  if (is("rtree")) return rtreeLayout(VirtualModule::Rtree, arguments);
  if (is("rtree_i32")) return rtreeLayout(VirtualModule::RtreeInt32, arguments);
  return {};
}

}  // namespace fq

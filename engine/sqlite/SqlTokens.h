#pragma once
// The tokens of an SQL statement as the library's tokenizer splits it: words,
// quoted identifiers ("x", [x], `x`), string literals ('x'), numbers (12,
// 1.5e3, 0x1F) and single punctuation characters; white space and comments (-- and /* */) dropped.
// Enough to read the column list of a CREATE TABLE statement however its
// names are written.
#include <string>
#include <string_view>
#include <vector>

namespace fq {

struct SqlToken {
  enum class Kind { Word, Quoted, String, Number, Punctuation };
  Kind kind = Kind::Punctuation;
  std::string_view text;  // as written, quotes included

  // A name as the library reads it: quotes removed, a doubled closing quote
  // inside read as one. Words are returned as written.
  std::string value() const;
  // A word equal to `keyword` in any case (quoted tokens never are keywords).
  bool isKeyword(std::string_view keyword) const;
  bool is(char punctuation) const {
    return kind == Kind::Punctuation && text.size() == 1 && text.front() == punctuation;
  }
  // A token that can name a table, a column or a type.
  bool isName() const { return kind != Kind::Punctuation && kind != Kind::Number; }
};

std::vector<SqlToken> tokenizeSql(std::string_view sql);

}  // namespace fq

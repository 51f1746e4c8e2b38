#pragma once
// Escaping of record texts inserted into HTML reports: a message holding markup
// must show as text, never run inside the report.
#include <string>
#include <string_view>

namespace fq {

// Replaces & < > " ' by their character references.
std::string HtmlEscape(std::string_view text);

}  // namespace fq

#pragma once
// Text from a backup as it may go to a terminal: control characters (escape
// sequences a hostile Info.plist could carry) become "?".
#include <string>
#include <string_view>

namespace fq::cli {

std::string TerminalText(std::string_view text);

}  // namespace fq::cli

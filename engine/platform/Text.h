#pragma once
// Text rules shared by every reader: database and file texts are UTF-8 and are
// accepted only when they decode cleanly.
#include <string>
#include <string_view>

namespace fq {

// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates, nothing
// above U+10FFFF), holds no encoded U+FFFD replacement character and no NUL.
bool IsAcceptedText(std::string_view bytes);

// Case-insensitive (ASCII) comparison, as the lists sort names and dates.
int CompareNoCase(std::string_view a, std::string_view b);

}  // namespace fq

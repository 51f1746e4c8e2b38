#pragma once
// Text rules shared by every reader: database and file texts are UTF-8 and are
// accepted only when they decode cleanly.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fq {

// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates, nothing
// above U+10FFFF), holds no encoded U+FFFD replacement character and no NUL.
bool IsAcceptedText(std::string_view bytes);

// Length of the well-formed UTF-8 sequence at the start of `bytes` (no
// overlong, no surrogate, nothing above U+10FFFF), 0 when there is none; its
// code point goes to `codePoint`.
size_t Utf8SequenceLength(std::string_view bytes, uint32_t& codePoint);

// Case-insensitive (ASCII) comparison, as the lists sort names and dates.
int CompareNoCase(std::string_view a, std::string_view b);

// `bytes` as well-formed UTF-8: each byte that does not start or continue a
// valid sequence becomes U+FFFD, as a lenient decoder shows a damaged name.
// NULs are kept. For display and JSON only; readers reject such text instead.
std::string ToValidUtf8(std::string_view bytes);

}  // namespace fq

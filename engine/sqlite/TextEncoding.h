#pragma once
// The text encoding a database file declares in its header (offset 56), and
// the conversions between it and the UTF-8 the rest of the system uses.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace fq {

enum class TextEncoding : uint8_t { Utf8 = 1, Utf16le = 2, Utf16be = 3 };

// The encoding a header value names; anything but 2 or 3 reads as UTF-8, as
// the library treats a database whose value it does not know.
TextEncoding textEncodingOf(uint32_t headerValue);

// Stored text as UTF-8, converted the way the library converts it when a
// UTF-16 database is read through its UTF-8 interface: a trailing odd byte is
// dropped and a surrogate is paired with whatever unit follows it, so the
// bytes come out exactly as the library gives them. UTF-8 text is copied.
std::string textToUtf8(std::span<const uint8_t> stored, TextEncoding encoding);

// UTF-8 text in the database's own encoding, for comparing names with the
// bytes of the schema. A byte that starts no valid sequence becomes U+FFFD.
std::string textFromUtf8(std::string_view utf8, TextEncoding encoding);

}  // namespace fq

#pragma once
// The plain text of a note body of the modern notes store: ZICNOTEDATA.ZDATA
// is a gzip stream holding a protobuf document (field 2) whose note (field 3)
// carries the text (field 2). Hostile bytes give none, never a crash.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fq {

// A note body that inflates to more than this is not read.
inline constexpr size_t kMaxNoteBodyBytes = size_t{64} << 20;

// The inflated bytes of a gzip (or zlib) stream; none when the stream is
// damaged, cut short or inflates past `limit`.
std::optional<std::vector<uint8_t>> InflateBounded(std::span<const uint8_t> compressed, size_t limit);

// The note text of an inflated protobuf document; none when the path
// 2 -> 3 -> 2 is missing or a field runs past its message.
std::optional<std::string> NoteTextOfDocument(std::span<const uint8_t> document);

// Both steps: the text of a stored ZDATA value, as valid UTF-8.
std::optional<std::string> NoteTextOfNoteData(std::span<const uint8_t> zdata);

}  // namespace fq

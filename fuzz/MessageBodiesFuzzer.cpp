// Any bytes as a message's attributedBody archive and as a stored note body
// (gzip, then protobuf, or protobuf alone): both decoders end cleanly, and
// whatever text they give is clean UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "engine/categories/AttributedBody.h"
#include "engine/categories/NoteStoreBody.h"
#include "engine/platform/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const std::string message = fq::TextOfAttributedBody(bytes);
  if (!message.empty() && !fq::IsAcceptedText(message)) std::abort();
  // The inflated document is bounded far below the production limit so a
  // run stays fast; the bound itself is what is checked.
  constexpr size_t kLimit = size_t{1} << 20;
  if (const auto inflated = fq::InflateBounded(bytes, kLimit)) {
    if (inflated->size() > kLimit) std::abort();
    (void)fq::NoteTextOfDocument(*inflated);
  }
  if (const auto note = fq::NoteTextOfDocument(bytes)) {
    if (fq::ToValidUtf8(*note) != *note) std::abort();
  }
  return 0;
}

#include "tools/backupbuilder/AttributedBodyArchive.h"

namespace fq::builder {
namespace {

void Append(std::vector<uint8_t>& out, std::string_view bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// A typedstream integer: one byte below 0x80, else 0x81 and 16 bits or 0x82
// and 32 bits, little-endian.
void AppendLength(std::vector<uint8_t>& out, size_t n) {
  if (n < 0x80) {
    out.push_back(static_cast<uint8_t>(n));
    return;
  }
  const size_t width = n < 0x8000 ? 2 : 4;
  out.push_back(width == 2 ? 0x81 : 0x82);
  for (size_t i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(n >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> AttributedBodyArchive(std::string_view text) {
  std::vector<uint8_t> out;
  using namespace std::string_view_literals;
  // Header, system version 1000, an object of class NSAttributedString whose
  // superclass is NSObject.
  Append(out, "\x04\x0bstreamtyped\x81\xe8\x03\x84\x01@\x84\x84\x84\x12NSAttributedString\x00"sv);
  Append(out, "\x84\x84\x08NSObject\x00\x85"sv);
  // Its string: class NSString (version 1, superclass by reference), type "+".
  Append(out, "\x92\x84\x84\x84\x08NSString\x01\x94\x84\x01+"sv);
  AppendLength(out, text.size());
  Append(out, text);
  // One attribute run over the whole text: the message part number 0.
  Append(out, "\x86\x84\x02iI\x01"sv);
  AppendLength(out, text.size());
  Append(out, "\x92\x84\x84\x84\x0cNSDictionary\x00\x94\x84\x01i\x01\x92\x84\x96\x96\x1d"sv);
  Append(out, "__kIMMessagePartAttributeName\x86\x92\x84\x84\x84\x08NSNumber\x00\x84\x84\x07NSValue\x00"sv);
  Append(out, "\x94\x84\x01*\x84\x99\x99\x00\x86\x86\x86"sv);
  return out;
}

}  // namespace fq::builder

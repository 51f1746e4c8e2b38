#pragma once
// The attributedBody of a message as the phone writes it since iOS 16: a
// typedstream archive of an attributed string holding `text`.
#include <cstdint>
#include <string_view>
#include <vector>

namespace fq::builder {

std::vector<uint8_t> AttributedBodyArchive(std::string_view text);

}  // namespace fq::builder

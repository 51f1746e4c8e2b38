#pragma once
// The extension of a file name: the text after its last ".".
#include <cstdint>
#include <string>
#include <string_view>

namespace fq {

// 0 and `extension` set to the text after the last "."; 87 with `extension`
// untouched when the name has no "." or the part from the "." on is 32
// characters or longer.
int32_t ExtensionOfName(std::string_view name, std::string& extension);

}  // namespace fq

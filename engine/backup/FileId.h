#pragma once
// The file id of a stored file: the SHA-1 digest of its key in lowercase hex.
#include <string>
#include <string_view>

namespace fq {

std::string FileIdOf(std::string_view key);

}  // namespace fq

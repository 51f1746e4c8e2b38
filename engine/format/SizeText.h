#pragma once
// A number of bytes as the lists show it: "1023 Bytes", "1.50 KB", "1.00 GB".
#include <cstdint>
#include <string>

namespace fq {

std::string SizeText(int64_t bytes);

}  // namespace fq

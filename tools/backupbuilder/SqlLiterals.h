#pragma once
// SQL literals of the values the builder's rows hold: quoted text, integers,
// doubles written to round-trip and blobs, NULL for an absent value.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fq::builder {

std::string SqlText(const std::string& value);
std::string SqlText(const std::optional<std::string>& value);
std::string SqlInteger(int64_t value);
std::string SqlInteger(const std::optional<int64_t>& value);
std::string SqlReal(double value);
std::string SqlBlob(const std::vector<uint8_t>& bytes);

}  // namespace fq::builder

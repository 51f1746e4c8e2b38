#pragma once
// AES key wrap (RFC 3394) with a 256-bit key-encryption key, as the keybag
// wraps class keys and the manifest wraps file keys.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace fq::decrypt {

using Key256 = std::array<uint8_t, 32>;

// The unwrapped key; empty when the integrity check fails (wrong key) or the
// wrapped bytes are not a whole number of 8-byte blocks of at least 24 bytes.
std::optional<std::vector<uint8_t>> UnwrapKey(const Key256& kek, std::span<const uint8_t> wrapped);

// `key` (a multiple of 8 bytes, at least 16) wrapped under `kek`.
std::vector<uint8_t> WrapKey(const Key256& kek, std::span<const uint8_t> key);

}  // namespace fq::decrypt

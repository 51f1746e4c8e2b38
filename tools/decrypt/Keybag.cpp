#include "tools/decrypt/Keybag.h"

#include <cstring>
#include <string_view>

namespace fq::decrypt {
namespace {

uint32_t bigEndian32(std::span<const uint8_t> b) {
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | uint32_t{b[3]};
}

bool readInteger(std::span<const uint8_t> value, uint32_t& out) {
  if (value.size() != 4) return false;
  out = bigEndian32(value);
  return true;
}

void appendRecord(Bytes& out, std::string_view tag, std::span<const uint8_t> value) {
  out.insert(out.end(), tag.begin(), tag.end());
  const auto n = static_cast<uint32_t>(value.size());
  const uint8_t len[4] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
  out.insert(out.end(), len, len + 4);
  out.insert(out.end(), value.begin(), value.end());
}

void appendInteger(Bytes& out, std::string_view tag, uint32_t v) {
  const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
  appendRecord(out, tag, b);
}

}  // namespace

const KeybagClass* Keybag::findClass(uint32_t protectionClass) const {
  for (const auto& c : classes)
    if (c.protectionClass == protectionClass) return &c;
  return nullptr;
}

std::optional<Keybag> ParseKeybag(std::span<const uint8_t> bytes, std::string& error) {
  Keybag bag;
  KeybagClass* current = nullptr;  // the class being read; none while in the header
  bool sawUuid = false;
  bool badInteger = false;
  struct ClassSeen {
    bool clas = false;
  };
  std::vector<ClassSeen> seen;

  size_t off = 0;
  while (off < bytes.size()) {
    if (bytes.size() - off < 8) {
      error = "keybag record cut short";
      return std::nullopt;
    }
    const std::string_view tag(reinterpret_cast<const char*>(bytes.data() + off), 4);
    const uint32_t length = bigEndian32(bytes.subspan(off + 4, 4));
    off += 8;
    if (length > bytes.size() - off) {
      error = "keybag record longer than the keybag";
      return std::nullopt;
    }
    const auto value = bytes.subspan(off, length);
    off += length;

    if (tag == "UUID") {
      if (!sawUuid) {
        bag.uuid.assign(value.begin(), value.end());
        sawUuid = true;
      } else {
        // Every later UUID opens the record group of one class key.
        bag.classes.emplace_back();
        seen.emplace_back();
        current = &bag.classes.back();
        current->uuid.assign(value.begin(), value.end());
      }
      continue;
    }
    if (current != nullptr) {
      if (tag == "CLAS") {
        badInteger |= !readInteger(value, current->protectionClass);
        seen.back().clas = true;
      } else if (tag == "WRAP") {
        badInteger |= !readInteger(value, current->wrap);
      } else if (tag == "KTYP") {
        badInteger |= !readInteger(value, current->keyType);
      } else if (tag == "WPKY") {
        current->wrappedKey.assign(value.begin(), value.end());
      } else if (tag == "PBKY") {
        current->publicKey.assign(value.begin(), value.end());
      }
      continue;
    }
    if (tag == "VERS") {
      badInteger |= !readInteger(value, bag.version);
    } else if (tag == "TYPE") {
      badInteger |= !readInteger(value, bag.type);
    } else if (tag == "HMCK") {
      bag.hmacKey.assign(value.begin(), value.end());
    } else if (tag == "WRAP") {
      badInteger |= !readInteger(value, bag.wrap);
    } else if (tag == "SALT") {
      bag.salt.assign(value.begin(), value.end());
    } else if (tag == "ITER") {
      badInteger |= !readInteger(value, bag.iterations);
    } else if (tag == "DPSL") {
      bag.dpSalt = Bytes(value.begin(), value.end());
    } else if (tag == "DPIC") {
      badInteger |= !readInteger(value, bag.dpIterations);
    } else if (tag == "DPWT") {
      badInteger |= !readInteger(value, bag.dpWrap);
    }
  }

  if (badInteger) {
    error = "keybag integer record is not 4 bytes";
    return std::nullopt;
  }
  if (bag.salt.empty() || bag.iterations == 0 || bag.iterations > kMaxKeybagIterations) {
    error = "keybag has no usable SALT/ITER";
    return std::nullopt;
  }
  if (bag.dpSalt &&
      (bag.dpSalt->empty() || bag.dpIterations == 0 || bag.dpIterations > kMaxKeybagIterations)) {
    error = "keybag has no usable DPSL/DPIC";
    return std::nullopt;
  }
  for (size_t i = 0; i < bag.classes.size(); ++i) {
    if (!seen[i].clas) {
      error = "keybag class without CLAS";
      return std::nullopt;
    }
  }
  if (bag.classes.empty()) {
    error = "keybag holds no class keys";
    return std::nullopt;
  }
  return bag;
}

Bytes SerializeKeybag(const Keybag& keybag) {
  Bytes out;
  appendInteger(out, "VERS", keybag.version);
  appendInteger(out, "TYPE", keybag.type);
  appendRecord(out, "UUID", keybag.uuid);
  appendRecord(out, "HMCK", keybag.hmacKey);
  appendInteger(out, "WRAP", keybag.wrap);
  appendRecord(out, "SALT", keybag.salt);
  appendInteger(out, "ITER", keybag.iterations);
  if (keybag.dpSalt) {
    appendInteger(out, "DPWT", keybag.dpWrap);
    appendInteger(out, "DPIC", keybag.dpIterations);
    appendRecord(out, "DPSL", *keybag.dpSalt);
  }
  for (const auto& c : keybag.classes) {
    appendRecord(out, "UUID", c.uuid);
    appendInteger(out, "CLAS", c.protectionClass);
    appendInteger(out, "WRAP", c.wrap);
    appendInteger(out, "KTYP", c.keyType);
    appendRecord(out, "WPKY", c.wrappedKey);
    if (!c.publicKey.empty()) appendRecord(out, "PBKY", c.publicKey);
  }
  return out;
}

}  // namespace fq::decrypt

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/decrypt/CryptoTestSupport.h"
#include "tools/decrypt/Keybag.h"

namespace fq::decrypt {
namespace {

using testsupport::FromHex;

void record(std::vector<uint8_t>& out, const std::string& tag, const std::vector<uint8_t>& value) {
  out.insert(out.end(), tag.begin(), tag.end());
  const auto n = static_cast<uint32_t>(value.size());
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(n >> s));
  out.insert(out.end(), value.begin(), value.end());
}

std::vector<uint8_t> u32(uint32_t v) {
  return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

Keybag sampleKeybag(bool modern) {
  Keybag bag;
  bag.version = modern ? 4 : 3;
  bag.type = 1;
  bag.uuid = std::vector<uint8_t>(16, 0x11);
  bag.hmacKey = std::vector<uint8_t>(40, 0x22);
  bag.salt = std::vector<uint8_t>(20, 0x33);
  bag.iterations = 10000;
  if (modern) {
    bag.dpSalt = std::vector<uint8_t>(20, 0x44);
    bag.dpIterations = 10000000;
    bag.dpWrap = 1;
  }
  // Classes out of order: they are found by CLAS, not by position.
  for (uint32_t c : {3u, 1u, 2u}) {
    KeybagClass k;
    k.protectionClass = c;
    k.wrap = 2;
    k.keyType = c == 2 ? 1 : 0;
    k.uuid = std::vector<uint8_t>(16, static_cast<uint8_t>(c));
    k.wrappedKey = std::vector<uint8_t>(40, static_cast<uint8_t>(0xA0 + c));
    if (c == 2) k.publicKey = std::vector<uint8_t>(32, 0x55);
    bag.classes.push_back(k);
  }
  return bag;
}

TEST(Keybag, SerializedKeybagReadsBackForBothEras) {
  for (bool modern : {false, true}) {
    SCOPED_TRACE(modern ? "10.2 and later" : "before 10.2");
    const Keybag bag = sampleKeybag(modern);
    std::string error;
    const auto parsed = ParseKeybag(SerializeKeybag(bag), error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->uuid, bag.uuid);
    EXPECT_EQ(parsed->salt, bag.salt);
    EXPECT_EQ(parsed->iterations, 10000u);
    EXPECT_EQ(parsed->dpSalt.has_value(), modern);
    if (modern) {
      EXPECT_EQ(*parsed->dpSalt, *bag.dpSalt);
      EXPECT_EQ(parsed->dpIterations, 10000000u);
    }
    ASSERT_EQ(parsed->classes.size(), 3u);
    const KeybagClass* two = parsed->findClass(2);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->wrappedKey, std::vector<uint8_t>(40, 0xA2));
    EXPECT_EQ(two->publicKey, std::vector<uint8_t>(32, 0x55));
    EXPECT_EQ(two->keyType, 1u);
    EXPECT_EQ(parsed->findClass(3)->wrappedKey, std::vector<uint8_t>(40, 0xA3));
    EXPECT_EQ(parsed->findClass(7), nullptr);
  }
}

TEST(Keybag, UnknownTagsAreSkipped) {
  std::vector<uint8_t> bytes;
  record(bytes, "VERS", u32(3));
  record(bytes, "XTRA", std::vector<uint8_t>(7, 1));
  record(bytes, "UUID", std::vector<uint8_t>(16, 0));
  record(bytes, "SALT", std::vector<uint8_t>(20, 9));
  record(bytes, "ITER", u32(5));
  record(bytes, "UUID", std::vector<uint8_t>(16, 1));
  record(bytes, "CLAS", u32(4));
  record(bytes, "ZZZZ", {});
  record(bytes, "WPKY", std::vector<uint8_t>(40, 7));
  std::string error;
  const auto parsed = ParseKeybag(bytes, error);
  ASSERT_TRUE(parsed) << error;
  ASSERT_NE(parsed->findClass(4), nullptr);
  EXPECT_EQ(parsed->findClass(4)->wrappedKey.size(), 40u);
}

TEST(Keybag, HostileOrDamagedKeybagsAreRefused) {
  const std::vector<uint8_t> good = SerializeKeybag(sampleKeybag(true));
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"cut inside a header", std::vector<uint8_t>(good.begin(), good.begin() + 5)});
  cases.push_back({"cut inside a value", std::vector<uint8_t>(good.begin(), good.end() - 3)});
  {
    auto b = good;
    b[4] = 0xFF;  // VERS length far past the end
    cases.push_back({"length past the end", b});
  }
  {
    std::vector<uint8_t> b;
    record(b, "UUID", std::vector<uint8_t>(16, 0));
    record(b, "SALT", std::vector<uint8_t>(20, 1));
    record(b, "ITER", u32(0));
    record(b, "UUID", std::vector<uint8_t>(16, 1));
    record(b, "CLAS", u32(1));
    cases.push_back({"zero iterations", b});
  }
  {
    std::vector<uint8_t> b;
    record(b, "UUID", std::vector<uint8_t>(16, 0));
    record(b, "SALT", std::vector<uint8_t>(20, 1));
    record(b, "ITER", u32(0xFFFFFFFF));
    record(b, "UUID", std::vector<uint8_t>(16, 1));
    record(b, "CLAS", u32(1));
    cases.push_back({"iterations that would run for hours", b});
  }
  {
    std::vector<uint8_t> b;
    record(b, "UUID", std::vector<uint8_t>(16, 0));
    record(b, "SALT", std::vector<uint8_t>(20, 1));
    record(b, "ITER", {0, 0, 1});
    record(b, "UUID", std::vector<uint8_t>(16, 1));
    record(b, "CLAS", u32(1));
    cases.push_back({"integer of three bytes", b});
  }
  {
    std::vector<uint8_t> b;
    record(b, "UUID", std::vector<uint8_t>(16, 0));
    record(b, "SALT", std::vector<uint8_t>(20, 1));
    record(b, "ITER", u32(10));
    record(b, "DPSL", {});
    record(b, "DPIC", u32(10));
    record(b, "UUID", std::vector<uint8_t>(16, 1));
    record(b, "CLAS", u32(1));
    cases.push_back({"empty DPSL", b});
  }
  {
    std::vector<uint8_t> b;
    record(b, "UUID", std::vector<uint8_t>(16, 0));
    record(b, "SALT", std::vector<uint8_t>(20, 1));
    record(b, "ITER", u32(10));
    record(b, "UUID", std::vector<uint8_t>(16, 1));
    record(b, "WPKY", std::vector<uint8_t>(40, 1));
    cases.push_back({"class without CLAS", b});
  }
  {
    std::vector<uint8_t> b;
    record(b, "UUID", std::vector<uint8_t>(16, 0));
    record(b, "SALT", std::vector<uint8_t>(20, 1));
    record(b, "ITER", u32(10));
    cases.push_back({"no classes", b});
  }
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseKeybag(c.bytes, error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
  }
}

TEST(Keybag, EveryPrefixOfAKeybagIsHandled) {
  // Truncation at any byte either parses (at a record boundary with all that is
  // needed) or is refused; it never reads past the end (ASan watches).
  const std::vector<uint8_t> good = SerializeKeybag(sampleKeybag(true));
  for (size_t n = 0; n <= good.size(); ++n) {
    std::string error;
    std::vector<uint8_t> prefix(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    ParseKeybag(prefix, error);
  }
  std::string error;
  EXPECT_TRUE(ParseKeybag(good, error));
}

}  // namespace
}  // namespace fq::decrypt

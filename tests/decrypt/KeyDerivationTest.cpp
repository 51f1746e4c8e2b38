// Known answers from public sources: the example and self-test hashes that
// password-recovery tools publish for desktop backups ("$itunes_backup$*9*"
// before iOS 10.2, "*10*" since), all made with the password "hashcat", and the
// AES key wrap vector of RFC 3394.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/decrypt/CryptoTestSupport.h"
#include "tools/decrypt/AesKeyWrap.h"
#include "tools/decrypt/ClassKeys.h"
#include "tools/decrypt/KeyDerivation.h"

namespace fq::decrypt {
namespace {

using testsupport::FromHex;

struct PublishedHash {
  const char* name;
  const char* wrappedKey;
  uint32_t iterations;
  const char* salt;
  uint32_t dpIterations;  // 0: before iOS 10.2
  const char* dpSalt;
};

// The keybag the published fields describe: one class wrapped with the password key.
Keybag keybagOf(const PublishedHash& h) {
  Keybag bag;
  bag.salt = FromHex(h.salt);
  bag.iterations = h.iterations;
  if (h.dpIterations != 0) {
    bag.dpSalt = FromHex(h.dpSalt);
    bag.dpIterations = h.dpIterations;
  }
  KeybagClass c;
  c.protectionClass = 1;
  c.wrap = 2;
  c.wrappedKey = FromHex(h.wrappedKey);
  bag.classes.push_back(c);
  return bag;
}

const PublishedHash kFastHashes[] = {
    {"before 10.2, example",
     "b8e3f3a970239b22ac199b622293fe4237b9d16e74bad2c3c3568cd1bd3c471615a6c4f867265642", 10000,
     "4542263740587424862267232255853830404566", 0, ""},
    {"before 10.2, self-test",
     "ebd7f9b33293b2511f0a4139d5b213feff51476968863cef60ec38d720497b6ff39a0bb63fa9f84e", 10000,
     "2202015774208421818002001652122401871832", 0, ""},
    {"10.2 and later, self-test",
     "17a3b858e79bc273be43a9f113b71efe7ec8e7e401396b350180b4592ef45db67ffef7b2d64329a5", 10000,
     "2721336781705041205314422175267631184867", 1000, "99fafc983e732998adb9fadc162a2e382143f115"},
};

TEST(KeyDerivation, PublishedHashesOpenWithTheirPasswordOnly) {
  for (const auto& h : kFastHashes) {
    SCOPED_TRACE(h.name);
    const Keybag bag = keybagOf(h);
    for (const char* password : {"hashcat", "hashcaT", "", "hashcat "}) {
      const auto kek = DeriveKeyEncryptionKey(password, bag);
      ASSERT_TRUE(kek);
      ClassKeys keys;
      const bool right = std::string(password) == "hashcat";
      EXPECT_EQ(keys.unlock(bag, *kek), right ? UnlockResult::Ok : UnlockResult::WrongPassword) << password;
      if (right) {
        EXPECT_NE(keys.find(1), nullptr);
      }
    }
  }
}

TEST(KeyDerivation, TheModernSchemeIsChosenByDpslAlone) {
  // The same salts and counts with and without DPSL give different keys.
  Keybag old;
  old.salt = std::vector<uint8_t>(20, 1);
  old.iterations = 3;
  Keybag modern = old;
  modern.dpSalt = std::vector<uint8_t>(20, 2);
  modern.dpIterations = 3;
  const auto a = DeriveKeyEncryptionKey("pw", old);
  const auto b = DeriveKeyEncryptionKey("pw", modern);
  ASSERT_TRUE(a && b);
  EXPECT_NE(*a, *b);
}

TEST(AesKeyWrap, Rfc3394VectorWithA256BitKek) {
  Key256 kek{};
  const auto kekBytes = FromHex("000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F");
  std::copy(kekBytes.begin(), kekBytes.end(), kek.begin());
  const auto key = FromHex("00112233445566778899AABBCCDDEEFF000102030405060708090A0B0C0D0E0F");
  const auto wrapped =
      FromHex("28C9F404C4B810F4CBCCB35CFB87F8263F5786E2D80ED326CBC7F0E71A99F43BFB988B9B7A02DD21");
  EXPECT_EQ(WrapKey(kek, key), wrapped);
  const auto unwrapped = UnwrapKey(kek, wrapped);
  ASSERT_TRUE(unwrapped);
  EXPECT_EQ(*unwrapped, key);
}

TEST(AesKeyWrap, DamagedOrMisSizedInputIsRefused) {
  Key256 kek{};
  const auto key = FromHex("00112233445566778899AABBCCDDEEFF000102030405060708090A0B0C0D0E0F");
  auto wrapped = WrapKey(kek, key);
  ASSERT_EQ(wrapped.size(), 40u);
  auto flipped = wrapped;
  flipped[17] ^= 1;
  EXPECT_FALSE(UnwrapKey(kek, flipped));
  EXPECT_FALSE(UnwrapKey(kek, std::vector<uint8_t>(wrapped.begin(), wrapped.end() - 1)));
  EXPECT_FALSE(UnwrapKey(kek, std::vector<uint8_t>(16, 0)));
  EXPECT_FALSE(UnwrapKey(kek, {}));
  Key256 other{};
  other[0] = 1;
  EXPECT_FALSE(UnwrapKey(other, wrapped));
}

TEST(AesKeyWrap, AKeptUnwrapperFollowsEveryChangeOfKey) {
  // A worker unwraps file keys of several classes in any order with one
  // unwrapper: the key it keeps must never answer for another.
  Key256 first{};
  first[0] = 1;
  Key256 second{};
  second[31] = 2;
  const auto key = FromHex("00112233445566778899AABBCCDDEEFF000102030405060708090A0B0C0D0E0F");
  const auto underFirst = WrapKey(first, key);
  const auto underSecond = WrapKey(second, key);
  struct Case {
    const Key256* kek;
    const std::vector<uint8_t>* wrapped;
    bool opens;
  };
  const Case cases[] = {
      {&first, &underFirst, true},   {&first, &underFirst, true},   {&second, &underFirst, false},
      {&second, &underSecond, true}, {&first, &underSecond, false}, {&first, &underFirst, true},
  };
  KeyUnwrapper unwrapper;
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const auto got = unwrapper.unwrap(*cases[i].kek, *cases[i].wrapped);
    EXPECT_EQ(got.has_value(), cases[i].opens);
    if (got) {
      EXPECT_EQ(*got, key);
    }
  }
}

TEST(ClassKeys, FileKeyBlobsNameTheirClassLittleEndian) {
  Key256 classKey{};
  classKey[5] = 9;
  ClassKeys keys;
  keys.insert(4, classKey);
  Key256 fileKey{};
  fileKey[0] = 0x42;
  const auto wrapped = WrapKey(classKey, fileKey);
  std::vector<uint8_t> blob = {4, 0, 0, 0};
  blob.insert(blob.end(), wrapped.begin(), wrapped.end());
  const auto got = keys.unwrapFileKey(blob);
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, fileKey);

  std::vector<uint8_t> bigEndianClass = blob;
  bigEndianClass[0] = 0;
  bigEndianClass[3] = 4;
  EXPECT_FALSE(keys.unwrapFileKey(bigEndianClass));
  EXPECT_FALSE(keys.unwrapFileKey(std::vector<uint8_t>{4, 0, 0}));
  EXPECT_FALSE(keys.unwrapFileKey(7, wrapped));  // no such class
}

TEST(ClassKeys, ClassesNotWrappedWithThePasswordKeyAreLeftAlone) {
  Key256 kek{};
  Keybag bag;
  KeybagClass deviceOnly;
  deviceOnly.protectionClass = 6;
  deviceOnly.wrap = 1;  // device key: not ours to open, and no sign of a wrong password
  deviceOnly.wrappedKey = std::vector<uint8_t>(40, 0x5A);
  KeybagClass ours;
  ours.protectionClass = 3;
  ours.wrap = 3;
  ours.wrappedKey = WrapKey(kek, std::vector<uint8_t>(32, 7));
  bag.classes = {deviceOnly, ours};
  ClassKeys keys;
  EXPECT_EQ(keys.unlock(bag, kek), UnlockResult::Ok);
  EXPECT_EQ(keys.find(6), nullptr);
  ASSERT_NE(keys.find(3), nullptr);
}

}  // namespace
}  // namespace fq::decrypt

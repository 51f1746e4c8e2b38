#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/decrypt/CryptoTestSupport.h"
#include "tools/decrypt/FileCipher.h"
#include "tools/decrypt/Folder.h"

namespace fq::decrypt {
namespace {

using testsupport::ReadAll;
using testsupport::ScratchFolder;
using testsupport::WriteAll;

Key256 testKey() {
  Key256 k{};
  for (size_t i = 0; i < k.size(); ++i) k[i] = static_cast<uint8_t>(i * 7 + 1);
  return k;
}

std::vector<uint8_t> pattern(size_t n) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((i * 31) ^ (i >> 8));
  return b;
}

TEST(FileCipher, NistCbcVectorDecryptsBlockForBlock) {
  // SP 800-38A F.2.6 (CBC-AES256.Decrypt), first block, with its own IV
  // folded in: with a zero IV the first plaintext block is P1 xor IV.
  const auto key = testsupport::FromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
  Key256 k{};
  std::copy(key.begin(), key.end(), k.begin());
  const auto c1 = testsupport::FromHex("f58c4c04d6e5f1ba779eabfb5f7bfbd6");
  const auto p1 = testsupport::FromHex("6bc1bee22e409f96e93d7e117393172a");
  const auto iv = testsupport::FromHex("000102030405060708090a0b0c0d0e0f");
  ScratchFolder dir;
  WriteAll(dir / "c", c1);
  DecryptedFileReport report;
  ASSERT_EQ(DecryptFile(k, dir / "c", dir / "p", report), CipherResult::Ok);
  // One block whose last byte (0x2a ^ 0x0f = 0x25) is no padding: kept whole.
  EXPECT_FALSE(report.paddingValid);
  auto plain = ReadAll(dir / "p");
  ASSERT_EQ(plain.size(), 16u);
  for (size_t i = 0; i < 16; ++i) plain[i] ^= iv[i];
  EXPECT_EQ(plain, p1);
}

TEST(FileCipher, StreamedDecryptionRoundTripsAcrossChunkBoundaries) {
  ScratchFolder dir;
  const Key256 key = testKey();
  const size_t chunk = 1 << 20;
  for (size_t size : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{17}, chunk - 1, chunk, chunk + 1,
                      chunk - 16, 2 * chunk + 5}) {
    SCOPED_TRACE(size);
    const auto plain = pattern(size);
    WriteAll(dir / "enc", EncryptBytes(key, plain));
    DecryptedFileReport report;
    ASSERT_EQ(DecryptFile(key, dir / "enc", dir / "dec", report), CipherResult::Ok);
    EXPECT_TRUE(report.paddingValid);
    EXPECT_EQ(report.trailingBytes, 0u);
    EXPECT_EQ(report.bytesWritten, size);
    EXPECT_EQ(ReadAll(dir / "dec"), plain);
  }
}

TEST(FileCipher, OneDecryptorServesFileAfterFileWithNothingLeftOver) {
  // A worker keeps its decryptor for the whole backup: what one file leaves in
  // the buffers or the cipher state must never reach the next.
  ScratchFolder dir;
  const size_t chunk = 1 << 20;
  struct Case {
    size_t size;
    size_t cut;  // cipher bytes removed from the end
    uint8_t keyByte;
  };
  const Case cases[] = {
      {2 * chunk + 5, 0, 1},  {17, 0, 2}, {0, 0, 3}, {chunk - 16, 0, 4}, {chunk + 40, 7, 5}, {31, 0, 5},
      {2 * chunk + 9, 13, 6}, {16, 0, 7}, {1, 0, 8},
  };
  FileDecryptor decryptor;
  const Folder folder = Folder::Open(dir.path());
  ASSERT_TRUE(folder.ok());
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.size << " bytes, cut " << c.cut);
    Key256 key = testKey();
    key[0] = c.keyByte;
    const auto plain = pattern(c.size);
    auto cipher = EncryptBytes(key, plain);
    cipher.resize(cipher.size() - c.cut);
    WriteAll(dir / "enc", cipher);
    UniqueFd in;
    struct stat status {};
    ASSERT_EQ(folder.openRegular("enc", in, status), 0);
    DecryptedFileReport report;
    ASSERT_EQ(decryptor.decryptInto(key, in, static_cast<uint64_t>(status.st_size), folder, "dec", report),
              CipherResult::Ok);
    const auto got = ReadAll(dir / "dec");
    const size_t whole = cipher.size() - cipher.size() % 16;
    EXPECT_EQ(report.trailingBytes, cipher.size() - whole);
    EXPECT_EQ(report.bytesWritten, got.size());
    if (c.cut == 0) {
      EXPECT_TRUE(report.paddingValid);
      EXPECT_EQ(got, plain);
    } else {
      // The block that held the padding is gone: every whole block is kept.
      EXPECT_FALSE(report.paddingValid);
      ASSERT_EQ(got.size(), whole);
      EXPECT_TRUE(std::equal(got.begin(), got.end(), plain.begin()));
    }
  }
}

TEST(FileCipher, BadPaddingKeepsEveryByteAndCutInputIsReported) {
  ScratchFolder dir;
  const Key256 key = testKey();
  // CBC blocks are a prefix code: the first 112 bytes of the cipher text of
  // 112 plain bytes decrypt to them alone, with no padding block after them.
  auto plain = pattern(112);
  plain.back() = 0;  // never a padding byte
  auto cipher = EncryptBytes(key, plain);
  cipher.resize(112);
  WriteAll(dir / "enc", cipher);
  DecryptedFileReport report;
  ASSERT_EQ(DecryptFile(key, dir / "enc", dir / "dec", report), CipherResult::Ok);
  EXPECT_FALSE(report.paddingValid);
  EXPECT_EQ(ReadAll(dir / "dec"), plain);

  cipher = EncryptBytes(key, pattern(100));  // 112 bytes
  cipher.resize(cipher.size() - 5);          // 107 bytes: six whole blocks and 11 over
  WriteAll(dir / "cut", cipher);
  ASSERT_EQ(DecryptFile(key, dir / "cut", dir / "dec", report), CipherResult::Ok);
  EXPECT_EQ(report.trailingBytes, 11u);
  EXPECT_FALSE(report.paddingValid);  // the padded block is the one missing
  const auto got = ReadAll(dir / "dec");
  ASSERT_EQ(got.size(), 96u);
  EXPECT_EQ(got, pattern(96));
}

TEST(FileCipher, MissingSourceAndUnwritableTargetAreTold) {
  ScratchFolder dir;
  DecryptedFileReport report;
  EXPECT_EQ(DecryptFile(testKey(), dir / "absent", dir / "out", report), CipherResult::CannotRead);
  WriteAll(dir / "enc", EncryptBytes(testKey(), pattern(10)));
  EXPECT_EQ(DecryptFile(testKey(), dir / "enc", dir / "no-such-folder" / "out", report),
            CipherResult::CannotWrite);
  // A link planted where the copy goes is not followed.
  WriteAll(dir / "victim", {1, 2, 3});
  std::filesystem::create_symlink(dir / "victim", dir / "link");
  EXPECT_EQ(DecryptFile(testKey(), dir / "enc", dir / "link", report), CipherResult::CannotWrite);
  EXPECT_EQ(ReadAll(dir / "victim"), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(FileCipher, InMemoryDecryptionChecksPadding) {
  const Key256 key = testKey();
  std::vector<uint8_t> plain;
  EXPECT_TRUE(DecryptBytes(key, EncryptBytes(key, pattern(33)), plain));
  EXPECT_EQ(plain, pattern(33));
  EXPECT_FALSE(DecryptBytes(key, std::vector<uint8_t>(15, 0), plain));
  EXPECT_FALSE(DecryptBytes(key, {}, plain));
}

}  // namespace
}  // namespace fq::decrypt

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/ResultCodes.h"
#include "engine/format/DurationText.h"
#include "engine/format/ExtensionLists.h"
#include "engine/format/ExtensionOfName.h"
#include "engine/format/SizeText.h"

namespace fq {
namespace {

TEST(DurationText, FollowsTheUnitBoundaries) {
  const struct {
    int64_t seconds;
    const char* text;
  } cases[] = {
      {0, "0 Sec"},
      {59, "59 Sec"},
      {60, "1 Min 0 Sec"},
      {3599, "59 Min 59 Sec"},
      {3600, "1 Hour 0 Min"},
      {3659, "1 Hour 0 Min"},  // seconds are dropped once hours show
      {3661, "1 Hour 1 Min"},
      {90061, "25 Hour 1 Min"},
      {-5, "-5 Sec"},
      {-3600, "-3600 Sec"},
      {int64_t{1} << 40, "305419896 Hour 36 Min"},
  };
  for (const auto& c : cases) EXPECT_EQ(DurationText(c.seconds), c.text) << c.seconds;
}

TEST(SizeText, FollowsTheUnitBoundaries) {
  const struct {
    int64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 Bytes"},
      {1023, "1023 Bytes"},
      {1024, "1.00 KB"},
      {1536, "1.50 KB"},
      {1048575, "1024.00 KB"},  // rounding shows the lower unit's ceiling
      {1048576, "1.00 MB"},
      {1073741823, "1024.00 MB"},
      {1073741824, "1.00 GB"},
      {int64_t{1} << 40, "1.00 TB"},
      {(int64_t{1} << 40) * 1536 / 1024, "1.50 TB"},
      {-1, "-1 Bytes"},
      {-4096, "-4096 Bytes"},
  };
  for (const auto& c : cases) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
}

TEST(ExtensionOfName, TakesTheTextAfterTheLastDot) {
  const struct {
    const char* name;
    int32_t result;
    const char* extension;  // the output; "untouched" when the call fails
  } cases[] = {
      {"IMG_0001.JPG", kOk, "JPG"},
      {"archive.tar.gz", kOk, "gz"},
      {"trailing.", kOk, ""},
      {".hidden", kOk, "hidden"},
      {"noextension", kInvalid, "untouched"},
      {"", kInvalid, "untouched"},
      {"x.1234567890123456789012345678901", kInvalid, "untouched"},  // "." + 31 = 32 characters
      {"x.123456789012345678901234567890", kOk, "123456789012345678901234567890"},  // 31 characters
  };
  for (const auto& c : cases) {
    std::string extension = "untouched";
    EXPECT_EQ(ExtensionOfName(c.name, extension), c.result) << c.name;
    EXPECT_EQ(extension, c.extension) << c.name;
  }
}

TEST(ExtensionLists, MatchWholeEntriesOnly) {
  struct Case {
    std::string_view list;
    std::string_view extension;
    bool found;
  };
  const Case cases[] = {
      {kPictureExtensions, "bmp", true},   {kPictureExtensions, "tga", true},   // the last classic entry
      {kPictureExtensions, "jpeg", true},  {kPictureExtensions, "JPG", false},  // case is kept
      {kPictureExtensions, "jp", false},   {kPictureExtensions, "p", false},
      {kPictureExtensions, "", false},     {kPictureExtensions, "*.bmp", false},
      {kPictureExtensions, "bmp|", false}, {kVideoExtensions, "mov", true},
      {kVideoExtensions, "lrv", true},     {kVideoExtensions, "rmvb", true},  // the first entry
      {kVideoExtensions, "rm", true},      {kVideoExtensions, "MOV", false},
      {kVideoExtensions, "mo", false},     {kAudioExtensions, "mp3", true},
      {kAudioExtensions, "snd", true},     {kAudioExtensions, "rm", true},
      {kAudioExtensions, "m4", false},     {kPictureExtensions, "heic", true},
      {kPictureExtensions, "webp", true},  {kAudioExtensions, "opus", true},
      {kAudioExtensions, "aac", true},     {kPictureExtensions, "HEIC", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsListedExtension(c.list, c.extension), c.found)
        << c.extension << " in " << c.list.substr(0, 12);
  }
}

}  // namespace
}  // namespace fq

#include <gtest/gtest.h>

#include "engine/media/ExtensionLists.h"

namespace fq {
namespace {

TEST(ListHasExtension, MatchesWholeEntriesOnly) {
  struct Case {
    std::string_view list;
    std::string_view extension;
    bool found;
  };
  const Case cases[] = {
      {kPictureList, "bmp", true},    {kPictureList, "tga", true},   {kPictureList, "jpeg", true},
      {kPictureList, "JPG", false},  // case is kept
      {kPictureList, "jp", false},    {kPictureList, "p", false},    {kPictureList, "", false},
      {kPictureList, "*.bmp", false}, {kPictureList, "bmp|", false}, {kVideoList, "mov", true},
      {kVideoList, "lrv", true},      {kVideoList, "rmvb", true},    {kVideoList, "rm", true},
      {kVideoList, "MOV", false},     {kVideoList, "mp", false},     {kAudioList, "mp3", true},
      {kAudioList, "snd", true},      {kAudioList, "rm", true},      {kAudioList, "m4", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ListHasExtension(c.list, c.extension), c.found)
        << c.extension << " in " << c.list.substr(0, 12);
  }
}

}  // namespace
}  // namespace fq

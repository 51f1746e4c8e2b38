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
      {kPictureList, "bmp", true},  {kPictureList, "tga", true},   {kPictureList, "jpeg", true},
      {kPictureList, "JPG", false},  // case is kept
      {kPictureList, "jp", false},  {kPictureList, "p", false},    {kPictureList, "", false},
      {kPictureList, "*.bmp", false}, {kPictureList, "bmp|", false},
      {kVideoList, "mov", true},    {kVideoList, "lrv", true},     {kVideoList, "rmvb", true},
      {kVideoList, "rm", true},     {kVideoList, "MOV", false},    {kVideoList, "mp", false},
      {kAudioList, "mp3", true},    {kAudioList, "snd", true},     {kAudioList, "rm", true},
      {kAudioList, "m4", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ListHasExtension(c.list, c.extension), c.found) << c.extension << " in " << c.list.substr(0, 12);
  }
}

TEST(SplitAppFiles, SortsByLowerCasedExtensionAndGroupsByApplication) {
  const std::vector<AppFileRecord> files = {
      {10, "travel", "clip.MOV", "/b/1"},   {11, "travel", "notes.txt", "/b/2"}, {12, "travel", "README", "/b/3"},
      {13, "paint", "shot.tga", "/b/4"},    {14, "paint", "song.mp3", "/b/5"},   {15, "paint", "old.rm", "/b/6"},
      {16, "travel", "photo.JPG", "/b/7"},  {17, "paint", "trip.lrv", "/b/8"},   {18, "paint", "archive.", "/b/9"},
  };
  const auto split = SplitAppFiles(files);
  const auto names = [](const std::vector<AppFileRecord>& list) {
    std::vector<std::string> out;
    for (const auto& f : list) out.push_back(f.name);
    return out;
  };
  ASSERT_EQ(split.photos.size(), 2u);
  EXPECT_EQ(names(split.photos.at("travel")), (std::vector<std::string>{"notes.txt", "README", "photo.JPG"}));
  EXPECT_EQ(names(split.photos.at("paint")), (std::vector<std::string>{"shot.tga", "archive."}));
  ASSERT_EQ(split.videos.size(), 2u);
  EXPECT_EQ(names(split.videos.at("travel")), (std::vector<std::string>{"clip.MOV"}));
  EXPECT_EQ(names(split.videos.at("paint")), (std::vector<std::string>{"song.mp3", "old.rm", "trip.lrv"}));
}

TEST(ExtensionOf, TakesTheTextAfterTheLastDot) {
  EXPECT_EQ(ExtensionOf("a.b.JPG"), "JPG");
  EXPECT_EQ(ExtensionOf("image"), "");
  EXPECT_EQ(ExtensionOf("trailing."), "");
  EXPECT_EQ(ExtensionOf(".hidden"), "hidden");
}

}  // namespace
}  // namespace fq

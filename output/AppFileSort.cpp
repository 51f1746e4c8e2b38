#include "output/AppFileSort.h"

#include <algorithm>
#include <array>

namespace fq {
namespace {

// The program's video and audio extension lists, without the "*.".
constexpr std::array<std::string_view, 33> kVideoExtensions = {
    "rmvb", "rm",  "mpeg", "mov", "avi", "wmv", "asf", "mp4",   "flv",  "fla", "swf",
    "ape",  "m4v", "3gp",  "dv",  "3g2", "m4b", "mkv", "mts",   "divx", "ogm", "moi",
    "vob",  "ajp", "f4v",  "mqv", "svi", "vid", "tod", "hdmov", "mod",  "m2t", "lrv"};
constexpr std::array<std::string_view, 21> kAudioExtensions = {
    "mp3", "wav", "aiff", "rps", "mid", "midi", "m4a", "m4p", "au",  "ogg", "wma",
    "rm",  "ra",  "acd",  "amr", "at3", "caf",  "dss", "m4r", "nra", "snd"};

template <size_t N>
bool Contains(const std::array<std::string_view, N>& list, std::string_view ext) {
  return std::find(list.begin(), list.end(), ext) != list.end();
}

}  // namespace

bool IsAppVideoName(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string ext(name.substr(dot + 1));
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  return Contains(kVideoExtensions, ext) || Contains(kAudioExtensions, ext);
}

AppFileSplit SortAppFiles(std::span<const AppFileRecord> files) {
  AppFileSplit split;
  for (const auto& file : files) {
    auto& folders = IsAppVideoName(file.name) ? split.videos : split.photos;
    folders[file.appName].push_back(&file);
  }
  return split;
}

}  // namespace fq

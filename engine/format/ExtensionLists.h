#pragma once
// The program's fixed picture, video and audio extension lists, as the view
// and the file scans use them ("*.ext|*.ext|..."). The classic lists end with
// the formats of today's phones (HEIF pictures, AAC and Opus sound).
#include <string_view>

namespace fq {

inline constexpr std::string_view kPictureExtensions =
    "*.bmp|*.gif|*.jpg|*.jpeg|*.png|*.psd|*.tif|*.tiff|*.pcx|*.scr|*.ico|*.nef|*.nrw|*.crw|*.cr2|*.sr2|"
    "*.arw|*.srf|*.divu|*.pgm|*.k25|*.kdc|*.dcr|*.raf|*.iff|*.pbm|*.mef|*.jp2|*.mos|*.x3f|*.orf|*.erf|"
    "*.indd|*.pef|*.psp|*.mrw|*.dng|*.raw|*.pct|*.tga|*.heic|*.heif|*.avif|*.webp";
inline constexpr std::string_view kVideoExtensions =
    "*.rmvb|*.rm|*.mpeg|*.mov|*.avi|*.wmv|*.asf|*.mp4|*.flv|*.fla|*.swf|*.ape|*.m4v|*.3gp|*.dv|*.3g2|"
    "*.m4b|*.mkv|*.mts|*.divx|*.ogm|*.moi|*.vob|*.ajp|*.f4v|*.mqv|*.svi|*.vid|*.tod|*.hdmov|*.mod|*.m2t|"
    "*.lrv";
inline constexpr std::string_view kAudioExtensions =
    "*.mp3|*.wav|*.aiff|*.rps|*.mid|*.midi|*.m4a|*.m4p|*.au|*.ogg|*.wma|*.rm|*.ra|*.acd|*.amr|*.at3|*.caf|"
    "*.dss|*.m4r|*.nra|*.snd|*.aac|*.opus";

// True when `extension` (without the dot) equals one entry of `list` exactly.
constexpr bool IsListedExtension(std::string_view list, std::string_view extension) {
  if (extension.empty()) return false;
  size_t pos = 0;
  while (pos < list.size()) {
    size_t end = list.find('|', pos);
    if (end == std::string_view::npos) end = list.size();
    std::string_view entry = list.substr(pos, end - pos);
    if (entry.substr(0, 2) == "*.") entry.remove_prefix(2);
    if (entry == extension) return true;
    pos = end + 1;
  }
  return false;
}

}  // namespace fq

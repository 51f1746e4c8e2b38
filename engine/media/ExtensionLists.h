#pragma once
// The picture, video and audio extension lists the preview copy and the
// device's application-file scan test extensions against.
#include <string_view>

namespace fq {

inline constexpr std::string_view kPictureList =
    "*.bmp|*.gif|*.jpg|*.jpeg|*.png|*.psd|*.tif|*.tiff|*.pcx|*.scr|*.ico|*.nef|*.nrw|*.crw|*.cr2|*.sr2|*.arw|"
    "*.srf|*.divu|*.pgm|*.k25|*.kdc|*.dcr|*.raf|*.iff|*.pbm|*.mef|*.jp2|*.mos|*.x3f|*.orf|*.erf|*.indd|*.pef|"
    "*.psp|*.mrw|*.dng|*.raw|*.pct|*.tga";
inline constexpr std::string_view kVideoList =
    "*.rmvb|*.rm|*.mpeg|*.mov|*.avi|*.wmv|*.asf|*.mp4|*.flv|*.fla|*.swf|*.ape|*.m4v|*.3gp|*.dv|*.3g2|*.m4b|"
    "*.mkv|*.mts|*.divx|*.ogm|*.moi|*.vob|*.ajp|*.f4v|*.mqv|*.svi|*.vid|*.tod|*.hdmov|*.mod|*.m2t|*.lrv";
inline constexpr std::string_view kAudioList =
    "*.mp3|*.wav|*.aiff|*.rps|*.mid|*.midi|*.m4a|*.m4p|*.au|*.ogg|*.wma|*.rm|*.ra|*.acd|*.amr|*.at3|*.caf|"
    "*.dss|*.m4r|*.nra|*.snd";

// True when `extension` (bare, without "*.", compared exactly as given) is one
// of the list's entries. A whole entry must match: "p" or "jp" are not pictures.
bool ListHasExtension(std::string_view list, std::string_view extension);

}  // namespace fq

#pragma once
// The picture, video and audio extension lists, and the sorting of
// application files into App Photos and App Videos by extension.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/FileRecords.h"

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

// The text after the last "." of `name`, or empty when it has none.
std::string_view ExtensionOf(std::string_view name);

// Application files by application name, as the scan view shows them.
struct AppFileCategories {
  std::map<std::string, std::vector<AppFileRecord>> photos;
  std::map<std::string, std::vector<AppFileRecord>> videos;
};

// A file whose lower-cased extension is a video or audio extension (and not a
// picture one) is a video; everything else, including names without an
// extension, is a photo. List order is kept within each application.
AppFileCategories SplitAppFiles(const std::vector<AppFileRecord>& files);

}  // namespace fq

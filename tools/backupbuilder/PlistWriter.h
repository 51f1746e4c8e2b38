#pragma once
// The XML property lists of a backup folder, laid out as the desktop sync
// software writes them: every key on its own line, its value on the next.
#include <filesystem>
#include <string>

#include "tools/backupbuilder/DeviceProfile.h"

namespace fq::builder {

enum class ManifestFormat { Db, Mbdb };

std::string InfoPlistText(const DeviceProfile& device);
std::string ManifestPlistText(const DeviceProfile& device, ManifestFormat format);
std::string StatusPlistText(const DeviceProfile& device, ManifestFormat format);

// Writes Info.plist, Manifest.plist and Status.plist into `folder`.
bool WritePlists(const std::filesystem::path& folder, const DeviceProfile& device, ManifestFormat format,
                 std::string* error);

// `text` with &, < and > escaped for an XML text node.
std::string XmlEscape(const std::string& text);

}  // namespace fq::builder

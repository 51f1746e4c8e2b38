#pragma once
// The demo backup: a plausible phone with camera-roll and photo-stream
// pictures and videos, message attachments, application photos and videos and
// WhatsApp media. The whole definition lives in DemoBackup.cpp; extend it there.
#include <filesystem>
#include <optional>
#include <string>

#include "tools/backupbuilder/BackupBuilder.h"
#include "tools/backupbuilder/RealPhoneLayouts.h"

namespace fq::builder {

// The demo backup's content, ready to be written. With `system`, the phone's
// databases take the layouts of that system and Info.plist names its version.
BackupBuilder DemoBackup(ManifestFormat format, std::optional<PhoneSystem> system = std::nullopt);

// Writes the demo backup into `folder`. False with a message in `error`.
bool WriteDemoBackup(const std::filesystem::path& folder, ManifestFormat format, std::string* error,
                     std::optional<PhoneSystem> system = std::nullopt);

}  // namespace fq::builder

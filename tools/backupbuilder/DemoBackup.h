#pragma once
// The demo backup: a plausible phone with camera-roll and photo-stream
// pictures and videos, message attachments, application photos and videos and
// WhatsApp media. The whole definition lives in DemoBackup.cpp; extend it there.
#include <filesystem>
#include <string>

#include "tools/backupbuilder/BackupBuilder.h"

namespace fq::builder {

// The demo backup's content, ready to be written.
BackupBuilder DemoBackup(ManifestFormat format);

// Writes the demo backup into `folder`. False with a message in `error`.
bool WriteDemoBackup(const std::filesystem::path& folder, ManifestFormat format, std::string* error);

}  // namespace fq::builder

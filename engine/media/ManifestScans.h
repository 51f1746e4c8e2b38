#pragma once
// The four category scans that walk the manifest instead of reading a
// database: camera roll and photo stream, message attachments, application
// files (with WhatsApp files split off for a backup on disk) and WhatsApp
// attachments. Both recovery objects call them with their own context.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ProgressState.h"
#include "engine/backup/ManifestEntry.h"
#include "engine/backup/StoredFilePath.h"
#include "engine/media/ProbeAhead.h"
#include "engine/records/FileRecords.h"
#include "engine/records/SkippedFile.h"

namespace fq {

// Which recovery object scans: the two differ in a few matching and progress rules.
enum class ScanSource { Store, Device };

struct ManifestScanContext {
  const std::vector<ManifestEntry>& entries;  // the manifest, in index order
  std::filesystem::path folder;               // where the stored files lie
  StorageLayout layout;                       // flat for a decrypted copy
  ScanSource source;
  ProgressState& progress;  // the session's; its percent grows at the end of each scan
  // The device reads its manifest anew for each scan; when that failed, pass
  // its result here: the walk is then empty and the scan returns it.
  int32_t manifestResult = 0;
  // Where the scans list the files they leave out for a reason a person may
  // care about (each scan empties its own lists first); null: not listed.
  SkippedFileLists* skipped = nullptr;
  // Probes made ahead on a worker (ProbeAppFilesAhead); null: the scan probes its files itself.
  ProbeAhead* ahead = nullptr;
};

// Camera roll ("CameraRollDomain-Media/DCIM/") and photo stream
// ("MediaDomain-Media/PhotoStreamsData/") pictures and videos, keeping their names.
int32_t ScanPhotos(const ManifestScanContext& ctx, std::vector<MediaFileRecord>& cameraRoll,
                   std::vector<MediaFileRecord>& photoStream);

// Files under "/Attachments/", named with their recognised type's extension.
int32_t ScanMessageAttachments(const ManifestScanContext& ctx, std::vector<AttachmentFileRecord>& files);

// Application photos and videos. For the store, files of
// "net.whatsapp.WhatsApp" go to `storeWhatsAppFiles` instead (emptied first);
// the device passes nullptr and lists them again in ScanWhatsAppAttachments.
int32_t ScanAppFiles(const ManifestScanContext& ctx, std::vector<AppFileRecord>& files,
                     std::vector<MediaFileRecord>* storeWhatsAppFiles);

// Starts probing, on `ahead`'s worker, the files ScanAppFiles of the same
// context will pick; that scan then takes the probes through `ctx.ahead`.
void ProbeAppFilesAhead(const ManifestScanContext& ctx, ProbeAhead& ahead);

// Device: walks the manifest for "whatsapp.WhatsApp" files.
int32_t ScanWhatsAppAttachments(const ManifestScanContext& ctx, std::vector<MediaFileRecord>& files);

// Store: hands over the WhatsApp files ScanAppFiles collected.
int32_t HandOverWhatsAppAttachments(const ManifestScanContext& ctx,
                                    const std::vector<MediaFileRecord>& collected,
                                    std::vector<MediaFileRecord>& files);

// The display name of a recognised stored file: the key's last path
// component, and for every list but the camera roll and photo stream with
// its extension replaced by the type's in upper case. A name that is not
// clean UTF-8, or is empty, "." or "..", becomes the file id instead.
std::string StoredFileName(const ManifestEntry& entry, std::string_view typeName, bool keepOwnExtension);

// The application a file belongs to, taken from its key ("com." or "net."
// up to the next "-"); "other" when there is none, or when the name could
// not safely be a folder name of the output.
std::string AppNameOf(std::string_view key, ScanSource source);

}  // namespace fq

#pragma once
// Which list of skipped files belongs to which category.
#include <vector>

#include "engine/records/SkippedFile.h"
#include "engine/session/ScanCategory.h"

namespace fq {

// The files `category` left out; empty for a category that skips none.
inline std::vector<SkippedFile> SkippedFilesOf(const SkippedFileLists& lists, ScanCategory category) {
  switch (category) {
    case ScanCategory::CameraRoll:
      return lists.cameraRoll;
    case ScanCategory::PhotoStream:
      return lists.photoStream;
    case ScanCategory::MessagesAttachments:
      return lists.messageAttachments;
    case ScanCategory::WhatsAppAttachments:
      return lists.whatsAppAttachments;
    default:
      return {};
  }
}

}  // namespace fq

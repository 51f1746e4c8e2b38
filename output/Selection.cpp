#include "output/Selection.h"

#include <algorithm>

namespace fq {

bool ParseCategoryNames(const std::vector<std::string>& names, std::vector<ItemKind>& kinds,
                        std::string& unknown) {
  kinds.clear();
  for (const auto& name : names) {
    const auto kind = ItemKindFromCategoryName(name);
    if (!kind) {
      unknown = name;
      return false;
    }
    if (std::find(kinds.begin(), kinds.end(), *kind) == kinds.end()) kinds.push_back(*kind);
  }
  return true;
}

void SelectForRecovery(const ScanResults& results, const AppFolderMap& appPhotos,
                       const AppFolderMap& appVideos, const RecoveryRequest& request,
                       CStatisticsObj& statistics) {
  statistics.Clear();
  statistics.AddMediaFiles(ItemKind::CameraRoll, results.cameraRoll);
  statistics.AddMediaFiles(ItemKind::PhotoStream, results.photoStream);
  statistics.AddAppFolders(ItemKind::AppPhotos, appPhotos);
  statistics.AddAppFolders(ItemKind::AppVideos, appVideos);
  statistics.AddConversations(results.conversations);
  statistics.AddAttachmentFiles(results.messageAttachments);
  statistics.AddContacts(results.contacts);
  statistics.AddCalls(results.calls);
  statistics.AddNotes(results.notes);
  statistics.AddWhatsAppChats(results.whatsAppChats);
  statistics.AddMediaFiles(ItemKind::WhatsAppAttachments, results.whatsAppAttachments);

  for (int32_t k = kFirstItemKind; k <= kLastItemKind; ++k) {
    const auto kind = static_cast<ItemKind>(k);
    const bool wanted =
        request.categories.empty() ||
        std::find(request.categories.begin(), request.categories.end(), kind) != request.categories.end();
    statistics.SetCategorySelected(kind, wanted && (!request.deletedOnly || IsRecordCategory(kind)));
  }
  if (!request.deletedOnly) return;
  // The same filter the scan view offers: items without deleted records are
  // hidden, and conversations and chats are written with their deleted messages.
  for (int32_t k = kFirstItemKind; k <= kLastItemKind; ++k) {
    const auto kind = static_cast<ItemKind>(k);
    if (IsRecordCategory(kind)) statistics.SetDeletedOnlyFilter(kind, true);
  }
}

}  // namespace fq

#include "engine/session/LiveDeletedCount.h"

namespace fq {
namespace {

template <typename Records>
void CountRecords(const Records& records, LiveDeletedCount& count) {
  for (const auto& r : records) (r.deleted != 0 ? count.deleted : count.live) += 1;
}

template <typename Map>
void CountMapped(const Map& map, LiveDeletedCount& count) {
  for (const auto& [key, records] : map) CountRecords(records, count);
}

template <typename ByApp>
size_t CountFiles(const ByApp& byApp) {
  size_t n = 0;
  for (const auto& [app, files] : byApp) n += files.size();
  return n;
}

}  // namespace

LiveDeletedCount CountCategory(const ScanResults& results, const AppFileSplit& apps, ScanCategory category) {
  LiveDeletedCount count;
  switch (category) {
    case ScanCategory::CameraRoll:
      count.live = results.cameraRoll.size();
      break;
    case ScanCategory::PhotoStream:
      count.live = results.photoStream.size();
      break;
    case ScanCategory::Messages:
      CountMapped(results.conversations, count);
      break;
    case ScanCategory::MessagesAttachments:
      count.live = results.messageAttachments.size();
      break;
    case ScanCategory::Contacts:
      CountRecords(results.contacts, count);
      break;
    case ScanCategory::CallHistory:
      CountRecords(results.calls, count);
      break;
    case ScanCategory::Notes:
      CountRecords(results.notes, count);
      break;
    case ScanCategory::AppPhotos:
      count.live = CountFiles(apps.photos);
      break;
    case ScanCategory::AppVideos:
      count.live = CountFiles(apps.videos);
      break;
    case ScanCategory::WhatsApp:
      CountMapped(results.whatsAppChats, count);
      break;
    case ScanCategory::WhatsAppAttachments:
      count.live = results.whatsAppAttachments.size();
      break;
  }
  return count;
}

}  // namespace fq

#include "app/ScanViewPoster.h"

#include <QCoreApplication>

namespace fq::app {
namespace {

template <typename Map>
size_t NonEmpty(const Map& map) {
  size_t count = 0;
  for (const auto& [key, list] : map) count += !list.empty();
  return count;
}

}  // namespace

void ScanViewPoster::showScanPage() {
  QCoreApplication::postEvent(m_target, new QEvent(static_cast<QEvent::Type>(kScanPageShownEvent)));
}

void ScanViewPoster::percentChanged(int32_t percentShown, const ScanResults& results) {
  // Runs on the scan thread, which alone writes the lists while it runs: their
  // sizes are read here, never on the GUI thread.
  LiveCounts counts{};
  auto at = [&counts](ScanCategory category) -> size_t& { return counts[static_cast<size_t>(category)]; };
  at(ScanCategory::CameraRoll) = results.cameraRoll.size();
  at(ScanCategory::PhotoStream) = results.photoStream.size();
  at(ScanCategory::Messages) = NonEmpty(results.conversations);
  at(ScanCategory::MessagesAttachments) = results.messageAttachments.size();
  at(ScanCategory::Contacts) = results.contacts.size();
  at(ScanCategory::CallHistory) = results.calls.size();
  at(ScanCategory::Notes) = results.notes.size();
  at(ScanCategory::WhatsApp) = NonEmpty(results.whatsAppChats);
  at(ScanCategory::WhatsAppAttachments) = results.whatsAppAttachments.size();
  QCoreApplication::postEvent(m_target, new ScanPercentEvent(percentShown, counts));
}

void ScanViewPoster::categoryReady(ScanCategory category, size_t count) {
  QCoreApplication::postEvent(m_target, new ScanCategoryEvent(category, count));
}

}  // namespace fq::app

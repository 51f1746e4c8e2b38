#include "app/ScanViewPoster.h"

#include <QCoreApplication>

#include "engine/session/ScanResults.h"

namespace fq::app {
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
  at(ScanCategory::Messages) = CountConversations(results.conversations);
  at(ScanCategory::MessagesAttachments) = results.messageAttachments.size();
  at(ScanCategory::Contacts) = results.contacts.size();
  at(ScanCategory::CallHistory) = results.calls.size();
  at(ScanCategory::Notes) = results.notes.size();
  at(ScanCategory::WhatsApp) = CountConversations(results.whatsAppChats);
  at(ScanCategory::WhatsAppAttachments) = results.whatsAppAttachments.size();
  QCoreApplication::postEvent(m_target, new ScanPercentEvent(percentShown, counts));
}

void ScanViewPoster::categoryReady(ScanCategory category, size_t count) {
  QCoreApplication::postEvent(m_target, new ScanCategoryEvent(category, count));
}

}  // namespace fq::app

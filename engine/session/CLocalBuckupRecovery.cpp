#include "engine/session/CLocalBuckupRecovery.h"

#include <utility>

#include "engine/ResultCodes.h"

namespace fq {

// Without a store there is nothing to read: every operation answers 87.

int32_t CLocalBuckupRecovery::SetProgressCallback(ProgressCallback callback) {
  if (m_store == nullptr) return kInvalid;
  m_store->SetProgressCallback(std::move(callback));
  return kOk;
}

int32_t CLocalBuckupRecovery::Open(const std::string& password) {
  return m_store ? m_store->Open(password) : kInvalid;
}

CategoryStatus CLocalBuckupRecovery::DatabaseStatus(ScanCategory category) const {
  return m_store ? m_store->DatabaseStatus(category) : CategoryStatus{};
}

std::vector<SkippedFile> CLocalBuckupRecovery::SkippedFiles(ScanCategory category) const {
  return m_store ? m_store->SkippedFiles(category) : std::vector<SkippedFile>{};
}

std::string CLocalBuckupRecovery::OpenFailureReason() const {
  if (!m_store) return "no backup was selected";
  return m_store->openFailure();
}

int32_t CLocalBuckupRecovery::ScanMessages(ConversationMap& conversations) {
  return m_store ? m_store->ScanMessages(conversations) : kInvalid;
}

int32_t CLocalBuckupRecovery::ScanMessageAttachments(std::vector<AttachmentFileRecord>& files) {
  return m_store ? m_store->ScanMessageAttachments(files) : kInvalid;
}

int32_t CLocalBuckupRecovery::ScanContacts(std::vector<ContactRecord>& contacts) {
  return m_store ? m_store->ScanContacts(contacts) : kInvalid;
}

int32_t CLocalBuckupRecovery::ScanNotes(std::vector<NoteRecord>& notes) {
  return m_store ? m_store->ScanNotes(notes) : kInvalid;
}

int32_t CLocalBuckupRecovery::ScanCallHistory(std::vector<CallRecord>& calls) {
  return m_store ? m_store->ScanCallHistory(calls) : kInvalid;
}

int32_t CLocalBuckupRecovery::ScanPhotos(std::vector<MediaFileRecord>& cameraRoll,
                                         std::vector<MediaFileRecord>& photoStream) {
  return m_store ? m_store->ScanPhotos(cameraRoll, photoStream) : kInvalid;
}

int32_t CLocalBuckupRecovery::ScanWhatsAppAttachments(std::vector<MediaFileRecord>& files) {
  return m_store ? m_store->ScanWhatsAppAttachments(files) : kInvalid;
}

int32_t CLocalBuckupRecovery::ScanAppFiles(std::vector<AppFileRecord>& files) {
  return m_store ? m_store->ScanAppFiles(files) : kInvalid;
}

int32_t CLocalBuckupRecovery::ScanWhatsApp(WhatsAppChatMap& chats) {
  return m_store ? m_store->ScanWhatsApp(chats) : kInvalid;
}

int32_t CLocalBuckupRecovery::ExtractPreview(const std::filesystem::path& source,
                                             std::filesystem::path& output,
                                             const ProgressCallback& callback) {
  return m_store ? m_store->ExtractPreview(source, output, callback) : kInvalid;
}

int32_t CLocalBuckupRecovery::CopyOut(const std::filesystem::path& source,
                                      const std::filesystem::path& destination,
                                      const CopyProgressCallback& callback) {
  return m_store ? m_store->CopyOut(source, destination, callback) : kInvalid;
}

int32_t CLocalBuckupRecovery::ExportMessagesCsv(const std::filesystem::path& destination) {
  return m_store ? m_store->ExportMessagesCsv(destination) : kInvalid;
}

int32_t CLocalBuckupRecovery::ExportContactsCsv(const std::filesystem::path& destination) {
  return m_store ? m_store->ExportContactsCsv(destination) : kInvalid;
}

}  // namespace fq

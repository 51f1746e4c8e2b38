#pragma once
// The recovery session of a backup on disk: a thin object that forwards every
// operation to the process-wide BackupStore.
#include "engine/session/BackupStore.h"
#include "engine/session/IPhoneRecoveryParse.h"

namespace fq {

class CLocalBuckupRecovery : public IPhoneRecoveryParse {
 public:
  int32_t Attach(BackupStore* store) override {
    m_store = store;
    return 0;
  }
  int32_t SetProgressCallback(ProgressCallback callback) override;
  bool Reserved3(void*) override { return true; }
  int32_t Open(const std::string& password) override;
  std::string OpenFailureReason() const override;
  CategoryStatus DatabaseStatus(ScanCategory category) const override;
  std::vector<SkippedFile> SkippedFiles(ScanCategory category) const override;
  int32_t ScanMessages(ConversationMap& conversations) override;
  int32_t ScanMessageAttachments(std::vector<AttachmentFileRecord>& files) override;
  int32_t ScanContacts(std::vector<ContactRecord>& contacts) override;
  int32_t ScanNotes(std::vector<NoteRecord>& notes) override;
  int32_t ScanCallHistory(std::vector<CallRecord>& calls) override;
  int32_t ScanPhotos(std::vector<MediaFileRecord>& cameraRoll,
                     std::vector<MediaFileRecord>& photoStream) override;
  int32_t ScanWhatsAppAttachments(std::vector<MediaFileRecord>& files) override;
  int32_t ScanAppFiles(std::vector<AppFileRecord>& files) override;
  int32_t ScanWhatsApp(WhatsAppChatMap& chats) override;
  int32_t ExtractPreview(const std::filesystem::path& source, std::filesystem::path& output,
                         const ProgressCallback& callback) override;
  int32_t CopyOut(const std::filesystem::path& source, const std::filesystem::path& destination,
                  const CopyProgressCallback& callback) override;
  int32_t ExportMessagesCsv(const std::filesystem::path& destination) override;
  int32_t ExportContactsCsv(const std::filesystem::path& destination) override;

  BackupStore* store() const { return m_store; }

 private:
  BackupStore* m_store = nullptr;
};

}  // namespace fq

#pragma once
// The recovery session: one scan reads one backup through this interface.
// Two implementations: CDeviceRecovery (fresh backup of a connected device) and
// CLocalBuckupRecovery (a backup on disk, through the BackupStore). Operations
// are declared in slot order; every operation returns 0 or a result code.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/ProgressCallback.h"
#include "engine/records/CallRecord.h"
#include "engine/records/ContactRecord.h"
#include "engine/records/FileRecords.h"
#include "engine/records/MessageRecords.h"
#include "engine/records/NoteRecord.h"
#include "engine/records/SkippedFile.h"
#include "engine/records/WhatsAppRecords.h"
#include "engine/session/CategoryStatus.h"
#include "engine/session/ScanCategory.h"

namespace fq {

class BackupStore;

class IPhoneRecoveryParse {
 public:
  virtual ~IPhoneRecoveryParse() = default;  // 23

  virtual int32_t Attach(BackupStore* store) = 0;                                        // 0
  virtual int32_t SetProgressCallback(ProgressCallback callback) = 0;                    // 1
  virtual int32_t Reserved2(void*) { return 0; }                                         // 2
  virtual bool Reserved3(void*) = 0;                                                     // 3
  virtual int32_t Open(const std::string& password) = 0;                                 // 4
  virtual int32_t ScanMessages(ConversationMap& conversations) = 0;                      // 5
  virtual int32_t ScanMessageAttachments(std::vector<AttachmentFileRecord>& files) = 0;  // 6
  virtual int32_t ScanContacts(std::vector<ContactRecord>& contacts) = 0;                // 7
  virtual int32_t ScanNotes(std::vector<NoteRecord>& notes) = 0;                         // 8
  virtual int32_t ScanCallHistory(std::vector<CallRecord>& calls) = 0;                   // 9
  virtual int32_t ScanPhotos(std::vector<MediaFileRecord>& cameraRoll,
                             std::vector<MediaFileRecord>& photoStream) = 0;         // 10
  virtual int32_t ScanWhatsAppAttachments(std::vector<MediaFileRecord>& files) = 0;  // 11
  virtual int32_t ScanAppFiles(std::vector<AppFileRecord>& files) = 0;               // 12
  virtual int32_t ScanQQ() { return 0; }                                             // 13
  virtual int32_t ScanWeChat() { return 0; }                                         // 14
  virtual int32_t ScanWhatsApp(WhatsAppChatMap& chats) = 0;                          // 15
  virtual int32_t ExtractPreview(const std::filesystem::path& source, std::filesystem::path& output,
                                 const ProgressCallback& callback) = 0;  // 16
  virtual int32_t CopyOut(const std::filesystem::path& source, const std::filesystem::path& destination,
                          const CopyProgressCallback& callback) = 0;                // 17
  virtual int32_t ExportMessagesCsv(const std::filesystem::path& destination) = 0;  // 18
  virtual int32_t ExportContactsCsv(const std::filesystem::path& destination) = 0;  // 19
  virtual int32_t Reserved20() { return 0; }                                        // 20
  virtual int32_t Reserved21() { return 0; }                                        // 21
  virtual int32_t Reserved22() { return 0; }                                        // 22

  // Why the last Open failed, in words (the store's cause, the device's own
  // description); empty when it did not fail or nothing more is known.
  virtual std::string OpenFailureReason() const { return {}; }
  // How the database of a record category (Messages, Contacts, Call History,
  // Notes, WhatsApp) was read by the last scan of it.
  virtual CategoryStatus DatabaseStatus(ScanCategory) const { return {}; }
  // The stored files the last scan of a file category left out, with why.
  virtual std::vector<SkippedFile> SkippedFiles(ScanCategory) const { return {}; }
};

}  // namespace fq

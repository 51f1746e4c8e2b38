#pragma once
// The recovery session of a connected device: Open runs a full backup into
// the temporary backup folder and copies five databases out of it; the
// category operations then read the fresh backup.
#include <filesystem>
#include <map>

#include "engine/ProgressState.h"
#include "engine/session/IDeviceBackupDriver.h"
#include "engine/session/IPhoneRecoveryParse.h"
#include "engine/session/WorkFolders.h"

namespace fq {

class CDeviceRecovery : public IPhoneRecoveryParse {
 public:
  // Creates the work folder and cleans up after an earlier device scan.
  CDeviceRecovery(WorkFolders& folders, IDeviceBackupDriver& driver);
  // Cleans up again and empties the fresh device backup.
  ~CDeviceRecovery() override;
  CDeviceRecovery(const CDeviceRecovery&) = delete;
  CDeviceRecovery& operator=(const CDeviceRecovery&) = delete;

  int32_t Attach(BackupStore* store) override;
  int32_t SetProgressCallback(ProgressCallback callback) override;
  bool Reserved3(void*) override { return false; }
  int32_t Open(const std::string& password) override;
  std::string OpenFailureReason() const override { return m_openFailure; }
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

  // The temporary backup folder: the five database copies lie here.
  const std::filesystem::path& workPath() const { return m_workPath; }
  const std::filesystem::path& workFolder() const { return m_workFolder; }
  // The fresh backup, as the driver reported it; empty until a backup succeeded.
  const std::filesystem::path& backupFolder() const { return m_backupFolder; }
  bool layoutFlag() const { return m_layoutFlag; }
  bool newerThan11() const { return m_driver.VersionAbove11(); }
  const ProgressState& progress() const { return m_progress; }
  // The path of a database copy ("sms", "AddressBook", "notes", "NoteStore", "history", "ChatStorage").
  std::filesystem::path DatabaseCopy(const char* copyName) const { return m_workPath / copyName; }

  int64_t highestMessageRowId = 20000;
  int64_t highestContactRowId = 20000;

 private:
  void CopyDatabases();
  int32_t FinishReaderStep(int32_t readerResult, int32_t points);
  template <typename Scan>
  int32_t WithFreshManifest(Scan&& scan);

  WorkFolders& m_folders;
  IDeviceBackupDriver& m_driver;
  std::string m_openFailure;
  std::map<ScanCategory, CategoryStatus> m_status;
  SkippedFileLists m_skipped;
  std::filesystem::path m_workPath;
  std::filesystem::path m_workFolder;
  std::filesystem::path m_backupFolder;
  ProgressState m_progress;
  bool m_layoutFlag = false;
};

}  // namespace fq

#pragma once
// The backups on this computer and the one chosen for a scan: the backup
// list, the selected backup, its manifest entries read once at Open, and the
// progress of the scan that reads it. One per process; the local-backup
// recovery object forwards every scan operation here.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/ProgressCallback.h"
#include "engine/ProgressState.h"
#include "engine/backup/BackupInfo.h"
#include "engine/backup/ManifestEntry.h"
#include "engine/backup/StoredFilePath.h"
#include "engine/media/ManifestScans.h"
#include "engine/records/CallRecord.h"
#include "engine/records/ContactRecord.h"
#include "engine/records/FileRecords.h"
#include "engine/records/MessageRecords.h"
#include "engine/records/NoteRecord.h"
#include "engine/records/WhatsAppRecords.h"
#include "engine/session/CategoryStatus.h"
#include "engine/session/DatabasesAhead.h"
#include "engine/session/ScanCategory.h"
#include "engine/session/WorkFolders.h"

namespace fq {

class BackupStore {
 public:
  // Creates the work folder, cleans up after an earlier run and lists the
  // entries of `backupRoot`.
  BackupStore(WorkFolders& folders, std::filesystem::path backupRoot);
  ~BackupStore();  // cleans up again
  BackupStore(const BackupStore&) = delete;
  BackupStore& operator=(const BackupStore&) = delete;

  const std::vector<std::filesystem::path>& backupFolders() const { return m_backupFolders; }
  // Lists the backup root again (backups made since the store was built).
  // The UI thread calls this, ListBackups and SelectBackup only while no scan runs.
  void RereadBackupRoot();
  // The backups of the backup root, newest first.
  int32_t ListBackups(std::vector<BackupInfo>& list) const;
  // The backup a scan will read; the store's folder becomes its folder.
  void SelectBackup(const BackupInfo& backup);

  const BackupInfo& selectedBackup() const { return m_selected; }
  // The work folders the store was built on (a device scan works there too).
  WorkFolders& workFolders() const { return m_folders; }
  const std::filesystem::path& folder() const { return m_folder; }
  bool layoutFlag() const { return m_layoutFlag; }
  bool decrypted() const { return m_decrypted; }
  const std::vector<std::filesystem::path>& fileList() const { return m_fileList; }
  const std::vector<ManifestEntry>& manifestEntries() const { return m_manifestEntries; }
  const ProgressState& progress() const { return m_progress; }
  // Why the last Open failed, in one line naming the cause; empty after success.
  const std::string& openFailure() const { return m_openFailure; }
  // How the last scan of a record category read its database.
  CategoryStatus DatabaseStatus(ScanCategory category) const;
  // The stored files the last scan of a file category left out.
  std::vector<SkippedFile> SkippedFiles(ScanCategory category) const;

  // Where the stored files of the selected backup lie: flat in a decrypted
  // copy, in two-character subfolders with the layout flag, else flat.
  StorageLayout storedFileLayout() const;
  // The path of a stored file of the selected backup (empty for a bad id).
  std::filesystem::path StoredFile(std::string_view fileId) const;
  // The call history database: the newer one, else the older one when only it exists.
  std::filesystem::path CallHistoryDatabase() const;
  // The WhatsApp chat database: the stored file of the first manifest entry
  // whose key ends with "ChatStorage.sqlite" and whose content exists; empty
  // when there is none.
  std::filesystem::path WhatsAppDatabase() const;

  // Scan operations, as the recovery interface declares them.
  void SetProgressCallback(ProgressCallback callback);
  int32_t Open(const std::string& password);
  int32_t ScanMessages(ConversationMap& conversations);
  int32_t ScanMessageAttachments(std::vector<AttachmentFileRecord>& files);
  int32_t ScanContacts(std::vector<ContactRecord>& contacts);
  int32_t ScanNotes(std::vector<NoteRecord>& notes);
  int32_t ScanCallHistory(std::vector<CallRecord>& calls);
  int32_t ScanPhotos(std::vector<MediaFileRecord>& cameraRoll, std::vector<MediaFileRecord>& photoStream);
  int32_t ScanWhatsAppAttachments(std::vector<MediaFileRecord>& files);
  int32_t ScanAppFiles(std::vector<AppFileRecord>& files);
  int32_t ScanWhatsApp(WhatsAppChatMap& chats);
  int32_t ExtractPreview(const std::filesystem::path& source, std::filesystem::path& output,
                         const ProgressCallback& callback);
  int32_t CopyOut(const std::filesystem::path& source, const std::filesystem::path& destination,
                  const CopyProgressCallback& callback);
  int32_t ExportMessagesCsv(const std::filesystem::path& destination);
  int32_t ExportContactsCsv(const std::filesystem::path& destination);

  // Whether the files of the application-files scan are probed on a worker
  // while the databases before it are read (on by default); off, every scan
  // probes its own files when it comes. The scan's results, reports and
  // events are the same either way.
  void setProbeAhead(bool on) { m_probeAhead = on; }
  // Whether the record databases are read on a worker from the scan's first
  // step on, while the camera roll is probed (on by default); off, each step
  // reads its database when it comes. The scan's results, reports and events
  // are the same either way.
  void setReadAhead(bool on) { m_readAhead = on; }

  // Written by the messages and contacts readers, read by the CSV exports.
  int64_t highestMessageRowId = 20000;
  int64_t highestContactRowId = 20000;

 private:
  int32_t ReadManifest(bool decryptionRan);
  ManifestScanContext ManifestScan();
  // The databases the record steps of a scan of the open backup read.
  RecordDatabases Databases() const;
  // A step whose progress report was answered with a cancel: the worker
  // reading ahead ends, the scan ends with it.
  int32_t Ended(int32_t result);
  int32_t Fail(int32_t code, std::string why);

  WorkFolders& m_folders;
  std::filesystem::path m_backupRoot;
  std::filesystem::path m_folder;
  BackupInfo m_selected;
  bool m_layoutFlag = false;
  bool m_decrypted = false;
  std::vector<std::filesystem::path> m_backupFolders;
  std::vector<std::filesystem::path> m_fileList;
  std::vector<ManifestEntry> m_manifestEntries;
  ProgressState m_progress;
  std::vector<MediaFileRecord> m_whatsAppAttachments;
  std::string m_openFailure;
  std::map<ScanCategory, CategoryStatus> m_status;
  SkippedFileLists m_skipped;
  bool m_probeAhead = true;
  bool m_readAhead = true;
  // Declared after the entries and the folder it reads: it stops first.
  ProbeAhead m_appFilesAhead;
  DatabasesAhead m_databasesAhead;
};

}  // namespace fq

#include "engine/session/BackupStore.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "engine/ResultCodes.h"
#include "engine/backup/BackupDiscovery.h"
#include "engine/backup/DecryptToolRunner.h"
#include "engine/backup/ManifestDb.h"
#include "engine/backup/ManifestMbdb.h"
#include "engine/backup/WellKnownDatabases.h"
#include "engine/categories/ContactsReader.h"
#include "engine/categories/MessagesReader.h"
#include "engine/media/FileCopy.h"
#include "engine/platform/Folders.h"
#include "engine/platform/ProgramFolder.h"
#include "engine/session/CleanUp.h"
#include "engine/session/SkippedFilesOf.h"

namespace fq {
namespace {

bool IsHiddenName(const std::string& name) { return !name.empty() && name[0] == '.'; }

// The files of an encrypted backup, for the decryption's progress: entries not
// beginning with "."; a folder contributes its own entries, one level deep.
std::vector<std::filesystem::path> ListBackupFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::vector<FolderEntry> entries;
  ListFolder(folder, entries);
  for (const auto& entry : entries) {
    if (IsHiddenName(entry.name)) continue;
    if (!entry.isFolder) {
      files.push_back(folder / entry.name);
      continue;
    }
    std::vector<FolderEntry> inner;
    ListFolder(folder / entry.name, inner);
    for (const auto& file : inner)
      if (!IsHiddenName(file.name)) files.push_back(folder / entry.name / file.name);
  }
  return files;
}

std::vector<std::filesystem::path> ListFolderPaths(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> paths;
  std::vector<FolderEntry> entries;
  ListFolder(folder, entries);
  paths.reserve(entries.size());
  for (const auto& entry : entries) paths.push_back(folder / entry.name);
  return paths;
}

// Moves a read of the worker into the step's list; the reader's answer.
template <typename Records>
int32_t TakeRead(DatabaseRead<Records>& read, Records& records, CategoryStatus& status) {
  records = std::move(read.records);
  status = std::move(read.status);
  return read.result;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace

BackupStore::BackupStore(WorkFolders& folders, std::filesystem::path backupRoot)
    : m_folders(folders), m_backupRoot(std::move(backupRoot)), m_folder(m_backupRoot) {
  m_folders.CreateWorkFolder();
  StoreCleanUp(m_folders);
  m_fileList.clear();
  m_backupFolders = ListBackupFolders(m_folder);
}

BackupStore::~BackupStore() {
  m_appFilesAhead.Stop();
  m_databasesAhead.Stop();  // before the cleanup removes a decrypted copy it may be reading
  StoreCleanUp(m_folders);
  m_fileList.clear();
}

void BackupStore::RereadBackupRoot() { m_backupFolders = ListBackupFolders(m_backupRoot); }

int32_t BackupStore::ListBackups(std::vector<BackupInfo>& list) const {
  return fq::ListBackups(m_backupFolders, list);
}

void BackupStore::SelectBackup(const BackupInfo& backup) {
  m_appFilesAhead.Stop();
  m_databasesAhead.Stop();
  m_selected = backup;
  m_folder = backup.folder;
  m_decrypted = false;
}

StorageLayout BackupStore::storedFileLayout() const {
  if (m_decrypted) return StorageLayout::Flat;
  return m_layoutFlag ? StorageLayout::TwoCharacterFolders : StorageLayout::Flat;
}

std::filesystem::path BackupStore::StoredFile(std::string_view fileId) const {
  return StoredFilePath(m_folder, fileId, storedFileLayout());
}

std::filesystem::path BackupStore::CallHistoryDatabase() const {
  auto newer = StoredFile(wellknown::kCallHistory);
  if (!newer.empty() && IsRegularFile(newer)) return newer;
  return StoredFile(wellknown::kCallHistoryOld);
}

std::filesystem::path BackupStore::WhatsAppDatabase() const {
  // Only the database itself: keys such as ChatStorage.sqlite-wal also contain the name.
  for (const auto& entry : m_manifestEntries) {
    if (!EndsWith(entry.key, "ChatStorage.sqlite")) continue;
    auto path = StoredFile(entry.fileId);
    if (!path.empty() && IsRegularFile(path)) return path;
  }
  return {};
}

void BackupStore::SetProgressCallback(ProgressCallback callback) {
  m_progress.callback = std::move(callback);
}

int32_t BackupStore::Fail(int32_t code, std::string why) {
  m_openFailure = std::move(why);
  return code;
}

int32_t BackupStore::Open(const std::string& password) {
  m_appFilesAhead.Stop();   // its worker reads the entries about to be replaced
  m_databasesAhead.Stop();  // and this one the databases of the folder
  m_openFailure.clear();
  m_status.clear();
  m_skipped = {};
  m_decrypted = false;
  m_progress.current = 0;
  m_progress.step = 11;
  m_progress.report(0);
  m_fileList.clear();
  m_backupFolders.clear();
  m_manifestEntries.clear();
  m_layoutFlag = IsRegularFile(m_folder / "Manifest.db");

  std::filesystem::path decryptedFolder;
  if (m_selected.encrypted) {
    m_progress.step = 10;
    m_fileList = ListBackupFiles(m_folder);
    decryptedFolder = m_folders.DecryptedBackupFolder();
    if (decryptedFolder.empty()) {
      return Fail(kInvalid, "no drive has room for the decrypted copy of the backup");
    }
    // Files of an earlier decryption would pass for this backup's own.
    StoreCleanUp(m_folders);
    DecryptToolRequest request;
    request.toolPath = ProgramFolder() / "tool";
    request.backupFolder = m_folder;
    request.decryptedFolder = decryptedFolder;
    request.password = password;
    request.fileCount = std::max<int64_t>(1, static_cast<int64_t>(m_fileList.size()));
    const DecryptToolResult decryption = RunDecryptTool(request, m_progress);
    if (decryption.code == kWrongPassword) return Fail(decryption.code, "wrong backup password");
    if (decryption.code == kCancelled) return Fail(decryption.code, "cancelled");
    if (decryption.code == kInvalid) return Fail(decryption.code, decryption.reason);
    if (decryption.code != kOk) {
      return Fail(decryption.code, "the decrypt tool failed with code " + std::to_string(decryption.code));
    }
    m_fileList = ListFolderPaths(decryptedFolder);
  } else {
    m_progress.current = 1;
    m_progress.report(1);
  }

  const int32_t result = ReadManifest(!decryptedFolder.empty());
  if (!decryptedFolder.empty()) {
    m_folder = decryptedFolder;
    m_selected.folder = decryptedFolder;
    m_decrypted = true;
  }
  m_progress.grow(m_progress.step);
  return result;
}

int32_t BackupStore::ReadManifest(bool decryptionRan) {
  const std::string where = m_folder.string();
  if (m_layoutFlag) {
    // The decrypt tool leaves the readable index in the decrypted copy, never in the backup.
    auto manifest = m_folder / "Manifest.db";
    if (decryptionRan) {
      const auto decryptedManifest = m_folders.DecryptedBackupFolder() / "Manifest.db-decypted";
      if (IsRegularFile(decryptedManifest)) manifest = decryptedManifest;
    }
    const int32_t read = ReadManifestDb(manifest, m_manifestEntries);
    if (read == kQueryFailed) return Fail(read, "Manifest.db in " + where + " has no readable Files table");
    if (read != kOk) {
      return Fail(read, "Manifest.db in " + where + " could not be opened (SQLite code " +
                            std::to_string(read) + ")");
    }
    return kOk;
  }
  const auto mbdb = m_folder / "Manifest.mbdb";
  if (!IsRegularFile(mbdb)) return Fail(kInvalid, "no Manifest.db or Manifest.mbdb in " + where);
  const int32_t read = ReadManifestMbdb(mbdb, m_manifestEntries);
  if (read == kMbdbUnopenable) return Fail(read, "Manifest.mbdb in " + where + " could not be opened");
  if (read != kOk) return Fail(read, "Manifest.mbdb in " + where + " is not a readable manifest");
  return kOk;
}

CategoryStatus BackupStore::DatabaseStatus(ScanCategory category) const {
  const auto found = m_status.find(category);
  return found == m_status.end() ? CategoryStatus{} : found->second;
}

std::vector<SkippedFile> BackupStore::SkippedFiles(ScanCategory category) const {
  return SkippedFilesOf(m_skipped, category);
}

ManifestScanContext BackupStore::ManifestScan() {
  return ManifestScanContext{m_manifestEntries, m_folder, storedFileLayout(), ScanSource::Store,
                             m_progress,        0,        &m_skipped,         nullptr};
}

RecordDatabases BackupStore::Databases() const {
  RecordDatabases databases;
  databases.messages = StoredFile(wellknown::kSms);
  databases.addressBook = StoredFile(wellknown::kAddressBook);
  databases.callHistory = CallHistoryDatabase();
  databases.legacyNotes = StoredFile(wellknown::kNotes);
  databases.noteStore = StoredFile(wellknown::kNoteStore);
  databases.whatsApp = WhatsAppDatabase();
  databases.newerThan11 = m_selected.newerThan11;
  databases.reportsProgress = static_cast<bool>(m_progress.callback);
  databases.step = m_progress.step;
  databases.highestMessageRowId = highestMessageRowId;
  databases.highestContactRowId = highestContactRowId;
  return databases;
}

int32_t BackupStore::Ended(int32_t result) {
  if (result == kCancelled) m_databasesAhead.RequestStop();
  return result;
}

int32_t BackupStore::ScanPhotos(std::vector<MediaFileRecord>& cameraRoll,
                                std::vector<MediaFileRecord>& photoStream) {
  // The camera roll's probing is mostly waiting on the file system: the
  // record databases are read beside it.
  if (m_readAhead) m_databasesAhead.Start(Databases());
  return Ended(fq::ScanPhotos(ManifestScan(), cameraRoll, photoStream));
}

int32_t BackupStore::ScanMessages(ConversationMap& conversations) {
  // The application files, the most stored files a scan opens, are probed
  // on a worker while this and the next databases are read.
  if (m_probeAhead) ProbeAppFilesAhead(ManifestScan(), m_appFilesAhead);
  std::optional<MessagesRead> read;
  if (m_readAhead && conversations.empty()) read = m_databasesAhead.TakeMessages();
  CategoryStatus status;
  const int32_t result =
      read ? ReplayMessagesRead(*read, m_progress, conversations, highestMessageRowId, status)
           : ReadMessagesDatabase(StoredFile(wellknown::kSms), StoredFile(wellknown::kAddressBook),
                                  m_selected.newerThan11, m_progress, conversations, highestMessageRowId,
                                  status);
  m_status[ScanCategory::Messages] = std::move(status);
  m_progress.grow(m_progress.step / 2);
  return Ended(result);
}

int32_t BackupStore::ScanMessageAttachments(std::vector<AttachmentFileRecord>& files) {
  return Ended(fq::ScanMessageAttachments(ManifestScan(), files));
}

int32_t BackupStore::ScanContacts(std::vector<ContactRecord>& contacts) {
  std::optional<ContactsRead> read;
  if (m_readAhead && contacts.empty()) read = m_databasesAhead.TakeContacts();
  CategoryStatus status;
  int32_t result = 0;
  if (read) {
    result = TakeRead(*read, contacts, status);
    highestContactRowId = read->highestRowId;
  } else {
    result = ReadContactsDatabase(StoredFile(wellknown::kAddressBook), m_selected.newerThan11, contacts,
                                  highestContactRowId, status);
  }
  m_status[ScanCategory::Contacts] = std::move(status);
  m_progress.grow(m_progress.step / 2);
  return result;
}

int32_t BackupStore::ScanCallHistory(std::vector<CallRecord>& calls) {
  std::optional<DatabaseRead<std::vector<CallRecord>>> read;
  if (m_readAhead && calls.empty()) read = m_databasesAhead.TakeCalls();
  CategoryStatus status;
  const int32_t result = read ? TakeRead(*read, calls, status)
                              : ReadCallsDatabase(CallHistoryDatabase(), StoredFile(wellknown::kAddressBook),
                                                  m_selected.newerThan11, calls, status);
  m_status[ScanCategory::CallHistory] = std::move(status);
  m_progress.grow(m_progress.step / 2);
  return result;
}

int32_t BackupStore::ScanNotes(std::vector<NoteRecord>& notes) {
  std::optional<DatabaseRead<std::vector<NoteRecord>>> read;
  if (m_readAhead && notes.empty()) read = m_databasesAhead.TakeNotes();
  CategoryStatus status;
  const int32_t result = read ? TakeRead(*read, notes, status)
                              : ReadNotesDatabases(StoredFile(wellknown::kNotes),
                                                   StoredFile(wellknown::kNoteStore), notes, status);
  m_status[ScanCategory::Notes] = std::move(status);
  m_progress.grow(m_progress.step / 2);
  return result;
}

int32_t BackupStore::ScanAppFiles(std::vector<AppFileRecord>& files) {
  ManifestScanContext context = ManifestScan();
  if (m_probeAhead) context.ahead = &m_appFilesAhead;
  const int32_t result = fq::ScanAppFiles(context, files, &m_whatsAppAttachments);
  m_appFilesAhead.Stop();
  return Ended(result);
}

int32_t BackupStore::ScanWhatsApp(WhatsAppChatMap& chats) {
  std::optional<DatabaseRead<WhatsAppChatMap>> read;
  if (m_readAhead && chats.empty()) read = m_databasesAhead.TakeWhatsApp();
  CategoryStatus status;
  if (read) {
    TakeRead(*read, chats, status);
  } else {
    ReadWhatsAppDatabase(WhatsAppDatabase(), chats, status);
  }
  m_status[ScanCategory::WhatsApp] = std::move(status);
  // The last database read: the worker has ended, its thread may go.
  m_databasesAhead.Stop();
  return m_progress.grow(m_progress.step);
}

int32_t BackupStore::ScanWhatsAppAttachments(std::vector<MediaFileRecord>& files) {
  return HandOverWhatsAppAttachments(ManifestScan(), m_whatsAppAttachments, files);
}

int32_t BackupStore::ExtractPreview(const std::filesystem::path& source, std::filesystem::path& output,
                                    const ProgressCallback& callback) {
  // Each run previews into its own folder: runs side by side never overwrite each other's.
  const auto folder = m_folders.PreviewFolder();
  CreateFolders(folder);
  return fq::ExtractPreview(source, folder, output, callback);
}

int32_t BackupStore::CopyOut(const std::filesystem::path& source, const std::filesystem::path& destination,
                             const CopyProgressCallback& callback) {
  return fq::CopyOut(source, destination, callback);
}

int32_t BackupStore::ExportMessagesCsv(const std::filesystem::path& destination) {
  return writeMessagesCsv(StoredFile(wellknown::kSms), destination, highestMessageRowId);
}

int32_t BackupStore::ExportContactsCsv(const std::filesystem::path& destination) {
  return writeContactsCsv(StoredFile(wellknown::kAddressBook), destination, highestContactRowId);
}

}  // namespace fq

#include "engine/session/CDeviceRecovery.h"

#include <string>
#include <utility>

#include "engine/ResultCodes.h"
#include "engine/backup/ManifestOfFolder.h"
#include "engine/backup/StoredFilePath.h"
#include "engine/backup/WellKnownDatabases.h"
#include "engine/categories/CallHistoryReader.h"
#include "engine/categories/ContactsReader.h"
#include "engine/categories/MessagesReader.h"
#include "engine/categories/NoteStoreReader.h"
#include "engine/categories/WhatsAppReader.h"
#include "engine/media/FileCopy.h"
#include "engine/media/ManifestScans.h"
#include "engine/platform/Folders.h"
#include "engine/session/CleanUp.h"
#include "engine/session/SkippedFilesOf.h"

namespace fq {
namespace {

constexpr int32_t kFullBackupMode = 8;
constexpr int32_t kBackupShare = 20;

}  // namespace

CDeviceRecovery::CDeviceRecovery(WorkFolders& folders, IDeviceBackupDriver& driver)
    : m_folders(folders), m_driver(driver) {
  m_workFolder = m_folders.workFolder();
  m_folders.CreateWorkFolder();
  m_workPath = m_folders.TempBackupFolder();
  DeviceCleanUp(m_folders);
}

CDeviceRecovery::~CDeviceRecovery() {
  m_driver.SetProgress(nullptr, 0);  // the driver outlives this object and its callback
  DeviceCleanUp(m_folders);
  DeviceBackupCleanUp(m_folders, m_backupFolder);
}

int32_t CDeviceRecovery::Attach(BackupStore*) {
  m_progress.current = 0;
  m_progress.step = 0;
  m_layoutFlag = false;
  return kOk;
}

int32_t CDeviceRecovery::SetProgressCallback(ProgressCallback callback) {
  m_progress.callback = std::move(callback);
  return kOk;
}

namespace {

// The device's own words come first: they say what the user can do about it.
std::string DescribeBackupFailure(int32_t code, const std::string& description) {
  if (code == kWrongPassword) return "the device refused the backup password";
  if (!description.empty())
    return "the device reported: " + description + " (code " + std::to_string(code) + ")";
  if (code == kDeviceGaveUp || code == kCancelled) {
    return "the device went away before its backup was complete (unplugged, or it stopped answering)";
  }
  return "the device backup failed (code " + std::to_string(code) + ")";
}

}  // namespace

int32_t CDeviceRecovery::Open(const std::string& password) {
  m_progress.current = 1;
  m_progress.step = 10;
  if (const int32_t answer = m_progress.report(1); answer != 0) return answer;

  m_openFailure.clear();
  m_status.clear();
  m_skipped = {};
  m_workPath = m_folders.TempBackupFolder();
  // No drive had room: never let the backup land in the current folder.
  if (m_workPath.empty()) {
    m_openFailure = "no drive has room for the device's backup";
    return kInvalid;
  }

  m_driver.SetProgress(m_progress.callback, kBackupShare);
  m_driver.SetMode(kFullBackupMode);
  if (const int32_t backup = m_driver.Backup(m_workPath, password); backup != kOk) {
    m_openFailure = DescribeBackupFailure(backup, m_driver.ErrorDescription());
    return backup;
  }

  m_layoutFlag = m_driver.VersionAbove9();
  m_backupFolder = m_driver.GetBackupFolder();
  CopyDatabases();

  m_progress.current = kBackupShare;
  return m_progress.report(kBackupShare);
}

void CDeviceRecovery::CopyDatabases() {
  const auto layout = m_layoutFlag ? StorageLayout::TwoCharacterFolders : StorageLayout::Flat;
  const auto stored = [&](std::string_view id) { return StoredFilePath(m_backupFolder, id, layout); };
  const auto firstExisting = [&](std::string_view preferred, std::string_view fallback) {
    auto path = stored(preferred);
    return IsRegularFile(path) ? path : stored(fallback);
  };
  // A failed copy leaves the reader that needs it without a database.
  CopyFileReplacing(stored(wellknown::kAddressBook), DatabaseCopy("AddressBook"));
  CopyFileReplacing(stored(wellknown::kSms), DatabaseCopy("sms"));
  CopyFileReplacing(stored(wellknown::kNotes), DatabaseCopy("notes"));
  CopyFileReplacing(stored(wellknown::kNoteStore), DatabaseCopy("NoteStore"));
  CopyFileReplacing(firstExisting(wellknown::kCallHistory, wellknown::kCallHistoryOld),
                    DatabaseCopy("history"));
  CopyFileReplacing(firstExisting(wellknown::kWhatsAppShared, wellknown::kWhatsAppDocuments),
                    DatabaseCopy("ChatStorage"));
}

CategoryStatus CDeviceRecovery::DatabaseStatus(ScanCategory category) const {
  const auto found = m_status.find(category);
  return found == m_status.end() ? CategoryStatus{} : found->second;
}

int32_t CDeviceRecovery::FinishReaderStep(int32_t readerResult, int32_t points) {
  m_progress.current += points;
  if (!m_progress.callback) return readerResult;
  return m_progress.report(m_progress.current);
}

int32_t CDeviceRecovery::ScanMessages(ConversationMap& conversations) {
  const int32_t result = readMessages(DatabaseCopy("sms"), DatabaseCopy("AddressBook"), newerThan11(),
                                      m_progress, conversations, highestMessageRowId);
  m_status[ScanCategory::Messages] =
      StatusOfDatabaseRead(DatabaseCopy("sms"), "message database (sms.db)", result);
  return FinishReaderStep(result, m_progress.step / 2);
}

int32_t CDeviceRecovery::ScanContacts(std::vector<ContactRecord>& contacts) {
  const int32_t result =
      readContacts(DatabaseCopy("AddressBook"), newerThan11(), contacts, highestContactRowId);
  m_status[ScanCategory::Contacts] =
      StatusOfDatabaseRead(DatabaseCopy("AddressBook"), "address book (AddressBook.sqlitedb)", result);
  return FinishReaderStep(result, m_progress.step / 2);
}

int32_t CDeviceRecovery::ScanNotes(std::vector<NoteRecord>& notes) {
  const int32_t result = readAllNotes(DatabaseCopy("notes"), DatabaseCopy("NoteStore"), notes);
  m_status[ScanCategory::Notes] = NotesStatus(DatabaseCopy("notes"), DatabaseCopy("NoteStore"), result);
  return FinishReaderStep(result, m_progress.step / 2);
}

int32_t CDeviceRecovery::ScanCallHistory(std::vector<CallRecord>& calls) {
  const int32_t result =
      readCalls(DatabaseCopy("history"), DatabaseCopy("AddressBook"), newerThan11(), calls);
  m_status[ScanCategory::CallHistory] =
      StatusOfDatabaseRead(DatabaseCopy("history"), "call history database", result);
  return FinishReaderStep(result, m_progress.step / 2);
}

int32_t CDeviceRecovery::ScanWhatsApp(WhatsAppChatMap& chats) {
  const int32_t result = readWhatsApp(DatabaseCopy("ChatStorage"), chats);
  m_status[ScanCategory::WhatsApp] =
      StatusOfDatabaseRead(DatabaseCopy("ChatStorage"), "WhatsApp database (ChatStorage.sqlite)", result);
  return FinishReaderStep(result, m_progress.step);
}

// Each manifest scan reads the fresh backup's manifest again; a missing or
// unreadable one leaves the walk empty and becomes the scan's result.
template <typename Scan>
int32_t CDeviceRecovery::WithFreshManifest(Scan&& scan) {
  const auto layout = m_layoutFlag ? StorageLayout::TwoCharacterFolders : StorageLayout::Flat;
  std::vector<ManifestEntry> entries;
  const int32_t read =
      m_backupFolder.empty() ? kInvalid : ReadFolderManifest(m_backupFolder, layout, entries);
  ManifestScanContext context{entries,    m_backupFolder, layout,     ScanSource::Device,
                              m_progress, read,           &m_skipped, nullptr};
  return scan(context);
}

std::vector<SkippedFile> CDeviceRecovery::SkippedFiles(ScanCategory category) const {
  return SkippedFilesOf(m_skipped, category);
}

int32_t CDeviceRecovery::ScanPhotos(std::vector<MediaFileRecord>& cameraRoll,
                                    std::vector<MediaFileRecord>& photoStream) {
  return WithFreshManifest(
      [&](const ManifestScanContext& c) { return fq::ScanPhotos(c, cameraRoll, photoStream); });
}

int32_t CDeviceRecovery::ScanMessageAttachments(std::vector<AttachmentFileRecord>& files) {
  return WithFreshManifest(
      [&](const ManifestScanContext& c) { return fq::ScanMessageAttachments(c, files); });
}

int32_t CDeviceRecovery::ScanAppFiles(std::vector<AppFileRecord>& files) {
  return WithFreshManifest([&](const ManifestScanContext& c) { return fq::ScanAppFiles(c, files, nullptr); });
}

int32_t CDeviceRecovery::ScanWhatsAppAttachments(std::vector<MediaFileRecord>& files) {
  return WithFreshManifest(
      [&](const ManifestScanContext& c) { return fq::ScanWhatsAppAttachments(c, files); });
}

int32_t CDeviceRecovery::ExtractPreview(const std::filesystem::path& source, std::filesystem::path& output,
                                        const ProgressCallback& callback) {
  return fq::ExtractPreview(source, m_workFolder, output, callback);
}

int32_t CDeviceRecovery::CopyOut(const std::filesystem::path& source,
                                 const std::filesystem::path& destination,
                                 const CopyProgressCallback& callback) {
  return fq::CopyOut(source, destination, callback);
}

int32_t CDeviceRecovery::ExportMessagesCsv(const std::filesystem::path& destination) {
  return writeMessagesCsv(DatabaseCopy("sms"), destination, highestMessageRowId);
}

int32_t CDeviceRecovery::ExportContactsCsv(const std::filesystem::path& destination) {
  return writeContactsCsv(DatabaseCopy("AddressBook"), destination, highestContactRowId);
}

}  // namespace fq

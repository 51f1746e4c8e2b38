#include "engine/session/CDeviceRecovery.h"

#include <utility>

#include "engine/ResultCodes.h"
#include "engine/backup/StoredFilePath.h"
#include "engine/backup/WellKnownDatabases.h"
#include "engine/platform/Folders.h"
#include "engine/session/CleanUp.h"

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

int32_t CDeviceRecovery::Open(const std::string& password) {
  m_progress.current = 1;
  m_progress.step = 10;
  if (const int32_t answer = m_progress.report(1); answer != 0) return answer;

  m_workPath = m_folders.TempBackupFolder();
  // No drive had room: never let the backup land in the current folder.
  if (m_workPath.empty()) return kInvalid;

  m_driver.SetProgress(m_progress.callback, kBackupShare);
  m_driver.SetMode(kFullBackupMode);
  if (const int32_t backup = m_driver.Backup(m_workPath, password); backup != kOk) return backup;

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
  CopyFileReplacing(firstExisting(wellknown::kCallHistory, wellknown::kCallHistoryOld), DatabaseCopy("history"));
  CopyFileReplacing(firstExisting(wellknown::kWhatsAppShared, wellknown::kWhatsAppDocuments),
                    DatabaseCopy("ChatStorage"));
}

int32_t CDeviceRecovery::FinishReaderStep(int32_t readerResult, int32_t points) {
  m_progress.current += points;
  if (!m_progress.callback) return readerResult;
  return m_progress.report(m_progress.current);
}

// The category operations below apply the progress points of their step; the
// readers and the manifest walks fill the lists.

int32_t CDeviceRecovery::ScanMessages(ConversationMap&) { return FinishReaderStep(kOk, m_progress.step / 2); }

int32_t CDeviceRecovery::ScanContacts(std::vector<ContactRecord>&) {
  return FinishReaderStep(kOk, m_progress.step / 2);
}

int32_t CDeviceRecovery::ScanNotes(std::vector<NoteRecord>&) { return FinishReaderStep(kOk, m_progress.step / 2); }

int32_t CDeviceRecovery::ScanCallHistory(std::vector<CallRecord>&) {
  return FinishReaderStep(kOk, m_progress.step / 2);
}

int32_t CDeviceRecovery::ScanWhatsApp(WhatsAppChatMap&) { return FinishReaderStep(kOk, m_progress.step); }

int32_t CDeviceRecovery::ScanPhotos(std::vector<MediaFileRecord>&, std::vector<MediaFileRecord>&) {
  return m_progress.grow(2 * m_progress.step);
}

int32_t CDeviceRecovery::ScanMessageAttachments(std::vector<AttachmentFileRecord>&) {
  return m_progress.grow(m_progress.step);
}

int32_t CDeviceRecovery::ScanAppFiles(std::vector<AppFileRecord>&) { return m_progress.grow(2 * m_progress.step); }

int32_t CDeviceRecovery::ScanWhatsAppAttachments(std::vector<MediaFileRecord>&) {
  return m_progress.grow(m_progress.step);
}

int32_t CDeviceRecovery::ExtractPreview(const std::filesystem::path&, std::filesystem::path& output,
                                        const ProgressCallback&) {
  output.clear();
  return kInvalid;
}

int32_t CDeviceRecovery::CopyOut(const std::filesystem::path&, const std::filesystem::path&,
                                 const CopyProgressCallback&) {
  return kInvalid;
}

int32_t CDeviceRecovery::ExportMessagesCsv(const std::filesystem::path&) { return kOk; }

int32_t CDeviceRecovery::ExportContactsCsv(const std::filesystem::path&) { return kOk; }

}  // namespace fq

#include "output/RecoveryJob.h"

#include <cerrno>
#include <chrono>
#include <exception>
#include <system_error>

#include "engine/ResultCodes.h"
#include "engine/platform/Folders.h"
#include "output/HtmlReports.h"
#include "output/OutputNames.h"
#include "output/ResultText.h"
#include "output/TextFiles.h"

namespace fq {

namespace fs = std::filesystem;

RecoveryJob::RecoveryJob(fs::path outputRoot, const ScanResults& results, const CStatisticsObj& statistics,
                         IPhoneRecoveryParse& session, const ReportTemplates& templates,
                         std::function<void()> onChange)
    : m_root(std::move(outputRoot)),
      m_results(results),
      m_statistics(statistics),
      m_session(session),
      m_templates(templates),
      m_onChange(std::move(onChange)) {}

RecoveryJob::~RecoveryJob() {
  if (m_thread.joinable()) {
    Cancel();
    m_thread.join();
  }
}

void RecoveryJob::Start() {
  if (m_thread.joinable() || m_finished) return;
  m_thread = std::thread([this] { Run(); });
}

void RecoveryJob::Join() {
  if (m_thread.joinable()) m_thread.join();
}

void RecoveryJob::Cancel(std::unique_lock<std::mutex>& held) {
  if (held.mutex() == &m_mutex && held.owns_lock()) {
    m_cancel = true;
    m_progress.cancelled = true;
  }
}

void RecoveryJob::Cancel() {
  auto lock = HoldProgress();
  Cancel(lock);
}

void RecoveryJob::WaitUntilFinished() const {
  while (!m_finished) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

RecoveryProgress RecoveryJob::Progress() const {
  std::lock_guard lock(m_mutex);
  RecoveryProgress copy = m_progress;
  copy.finished = m_finished;
  return copy;
}

std::vector<RecoveryRow> RecoveryJob::Rows() const {
  std::lock_guard lock(m_mutex);
  return m_rows;
}

std::string RecoveryJob::Stamp() const {
  std::lock_guard lock(m_mutex);
  return m_stamp;
}

bool RecoveryJob::CancelRequested() {
  std::lock_guard lock(m_mutex);
  return m_cancel;
}

void RecoveryJob::Notify() {
  if (m_onChange) m_onChange();
}

int32_t RecoveryJob::Report(int32_t percent, int32_t code, const fs::path& path, bool copyCodes) {
  {
    std::lock_guard lock(m_mutex);
    if (m_cancel) return kCancelled;
    if (percent == 100) {
      RecoveryRow row{path, copyCodes ? CopyResultText(code) : ResultText(code), code == 0};
      m_rows.push_back(std::move(row));
      ++m_progress.processed;
      if (code != 0) ++m_progress.failed;
    }
    m_progress.percent = percent;
    m_progress.current = path;
  }
  Notify();
  return 0;
}

void RecoveryJob::AddFailure(const fs::path& path, std::string status) {
  {
    std::lock_guard lock(m_mutex);
    m_rows.push_back({path, std::move(status), false});
    ++m_progress.processed;
    ++m_progress.failed;
  }
  Notify();
}

void RecoveryJob::Run() {
  {
    std::lock_guard lock(m_mutex);
    m_stamp = m_fixedStamp.empty() ? RecoveryStampNow() : m_fixedStamp;
    m_progress.processed = 0;
    m_progress.failed = 0;
    m_progress.total = m_statistics.Root().selected;
  }
  m_messagesWritten = false;
  m_contactRows.clear();
  m_callRows.clear();
  m_noteRows.clear();
  try {
    RunItems();
    Finish();
  } catch (const std::exception& e) {
    // Nothing may escape the worker: the failure becomes a row the user sees.
    AddFailure(m_root, std::string("Recovery stopped: ") + e.what());
  } catch (...) {
    AddFailure(m_root, "Recovery stopped by an unexpected failure");
  }
  m_finished = true;
  Notify();
}

void RecoveryJob::RunItems() {
  for (const StatisticsEntry* entry : m_statistics.RecoveryItems()) {
    // After a cancel no further item is started, so nothing half-written follows it.
    if (CancelRequested()) return;
    const void* record = entry->record;
    switch (entry->kind) {
      case ItemKind::CameraRoll:
      case ItemKind::PhotoStream:
      case ItemKind::WhatsAppAttachments: {
        const auto& f = *static_cast<const MediaFileRecord*>(record);
        CopyFile(m_root / OutputFolderName(entry->kind), f.name, f.path);
        break;
      }
      case ItemKind::MessagesAttachments: {
        const auto& f = *static_cast<const AttachmentFileRecord*>(record);
        CopyFile(m_root / OutputFolderName(entry->kind), f.name, f.path);
        break;
      }
      case ItemKind::AppPhotos:
      case ItemKind::AppVideos: {
        const auto& f = *static_cast<const AppFileRecord*>(record);
        const fs::path folder = m_root / OutputFolderName(entry->kind) / SafeFileName(f.appName);
        CreateFolders(folder);
        CopyFile(folder, f.name, f.path);
        break;
      }
      case ItemKind::Messages:
        WriteConversation(*static_cast<const MessageRecord*>(record));
        break;
      case ItemKind::WhatsApp:
        WriteChat(*static_cast<const WhatsAppMessageRecord*>(record));
        break;
      case ItemKind::Contacts:
        AddListRow(m_contactRows, m_root / "Contacts" / m_stamp / "Contacts.html",
                   ContactRow(*static_cast<const ContactRecord*>(record)));
        break;
      case ItemKind::CallHistory:
        AddListRow(m_callRows, m_root / "CallHistory" / ("CallHistory_" + m_stamp + ".html"),
                   CallRow(*static_cast<const CallRecord*>(record)));
        break;
      case ItemKind::Notes:
        AddListRow(m_noteRows, m_root / "Notes" / ("Notes_" + m_stamp + ".html"),
                   NoteRow(*static_cast<const NoteRecord*>(record)));
        break;
    }
  }
}

void RecoveryJob::CopyFile(const fs::path& folder, const std::string& name, const fs::path& source) {
  const fs::path wanted = folder / SafeFileName(name);
  const fs::path target = m_uniquePaths.make(wanted);
  if (target.empty()) {
    Report(100, EEXIST, wanted);
    return;
  }
  CreateFolders(folder);
  const int32_t rc =
      m_session.CopyOut(source, target, [this](int32_t percent, int32_t code, const fs::path& dest) {
        return Report(percent, code, dest, true);
      });
  if (rc == kCancelled) {
    // A copy cut short is not a recovered file; leave no truncated copy behind.
    std::error_code ec;
    fs::remove(target, ec);
  }
}

void RecoveryJob::WriteConversation(const MessageRecord& first) {
  const std::string person = ConversationPerson(first);
  const fs::path folder = m_root / "Message" / (SafeFileName(person) + "-" + m_stamp);
  CreateFolders(folder);
  m_messagesWritten = true;
  const auto found = m_results.conversations.find(first.handleRowId);
  const auto* messages = found == m_results.conversations.end() ? nullptr : &found->second;
  const std::string base = SafeFileName(ConversationBase(first));
  if (const fs::path txt = m_uniquePaths.make(folder / (base + ".txt")); !txt.empty()) {
    WriteConversationText(txt, messages);
  }
  const fs::path html = m_uniquePaths.make(folder / (base + ".html"));
  if (html.empty()) {
    Report(100, EEXIST, folder / (base + ".html"));
    return;
  }
  const std::string head = FillPersonLine(m_templates.sms.head, person, first.address);
  WriteConversationReport(
      html, head, m_templates.sms.tail, messages,
      [this](int32_t percent, int32_t code, const fs::path& path) { return Report(percent, code, path); });
}

void RecoveryJob::WriteChat(const WhatsAppMessageRecord& first) {
  const std::string chat = SafeFileName(ChatName(first));
  const fs::path folder = m_root / "WhatsApp Message" / (chat + "-" + m_stamp);
  CreateFolders(folder);
  const auto found = m_results.whatsAppChats.find(first.chatRowId);
  const auto* messages = found == m_results.whatsAppChats.end() ? nullptr : &found->second;
  if (const fs::path txt = m_uniquePaths.make(folder / (chat + ".txt")); !txt.empty())
    WriteChatText(txt, messages);
  if (const fs::path csv = m_uniquePaths.make(folder / (chat + ".csv")); !csv.empty())
    WriteChatCsv(csv, messages);
  const fs::path html = m_uniquePaths.make(folder / (chat + ".html"));
  if (html.empty()) {
    Report(100, EEXIST, folder / (chat + ".html"));
    return;
  }
  const std::string head = FillPersonLine(m_templates.whatsApp.head, first.chatTitle, first.chatPhones);
  WriteChatReport(
      html, head, m_templates.whatsApp.tail, messages,
      [this](int32_t percent, int32_t code, const fs::path& path) { return Report(percent, code, path); });
}

void RecoveryJob::AddListRow(std::string& rows, const fs::path& reportPath, std::string row) {
  if (rows.empty()) CreateFolders(reportPath.parent_path());
  rows += row;
  Report(100, 0, reportPath);
}

void RecoveryJob::WriteListReportOrFail(const fs::path& path, const ReportTemplate& report,
                                        const std::string& rows) {
  // The rows were counted as they were added; a report that cannot be written
  // must still show up as a failure rather than vanish.
  if (const int32_t rc = WriteListReport(path, report, rows)) AddFailure(path, ResultText(rc));
}

void RecoveryJob::Finish() {
  std::error_code ec;
  if (m_messagesWritten) {
    const fs::path sms = m_root / "Message" / "sms.csv";
    fs::remove(sms, ec);
    m_session.ExportMessagesCsv(sms);
  }
  if (!m_callRows.empty()) {
    WriteListReportOrFail(m_root / "CallHistory" / ("CallHistory_" + m_stamp + ".html"),
                          m_templates.callHistory, m_callRows);
  }
  if (!m_noteRows.empty()) {
    WriteListReportOrFail(m_root / "Notes" / ("Notes_" + m_stamp + ".html"), m_templates.notes, m_noteRows);
  }
  if (!m_contactRows.empty()) {
    const fs::path folder = m_root / "Contacts" / m_stamp;
    fs::remove(folder / "Contacts.csv", ec);
    m_session.ExportContactsCsv(folder / "Contacts.csv");
    WriteListReportOrFail(folder / "Contacts.html", m_templates.contacts, m_contactRows);
  }
}

}  // namespace fq

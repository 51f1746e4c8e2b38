#include "output/RecoveryJob.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <system_error>

#include "engine/ResultCodes.h"
#include "engine/platform/File.h"
#include "engine/platform/Folders.h"
#include "engine/session/AppFileSplit.h"
#include "engine/session/LiveDeletedCount.h"
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
      m_onChange(std::move(onChange)),
      m_rows(m_root) {}

RecoveryJob::~RecoveryJob() {
  if (m_thread.joinable()) {
    Cancel();
    m_thread.join();
  }
}

void RecoveryJob::Start() {
  if (m_thread.joinable() || m_control.finished()) return;
  m_thread = std::thread([this] { Run(); });
}

void RecoveryJob::Join() {
  if (m_thread.joinable()) m_thread.join();
}

void RecoveryJob::Cancel(std::unique_lock<CountedLock>& held) {
  if (m_control.holds(held)) {
    m_control.setCancel();
    m_progress.cancelled = true;
  }
}

void RecoveryJob::Cancel() {
  auto lock = HoldProgress();
  Cancel(lock);
}

RecoveryProgress RecoveryJob::Progress() const {
  std::lock_guard lock(m_control.lock());
  RecoveryProgress copy = m_progress;
  copy.finished = m_control.finished();
  return copy;
}

std::vector<RecoveryRow> RecoveryJob::Rows() const {
  std::lock_guard lock(m_control.lock());
  return m_rows.from(0);
}

size_t RecoveryJob::RowCount() const {
  std::lock_guard lock(m_control.lock());
  return m_rows.size();
}

std::vector<RecoveryRow> RecoveryJob::RowsFrom(size_t first) const {
  std::lock_guard lock(m_control.lock());
  return m_rows.from(first);
}

std::vector<RecoveryRow> RecoveryJob::FailedRows() const {
  std::lock_guard lock(m_control.lock());
  return m_rows.failures();
}

std::string RecoveryJob::Stamp() const {
  std::lock_guard lock(m_control.lock());
  return m_stamp;
}

bool RecoveryJob::CancelRequested() {
  std::lock_guard lock(m_control.lock());
  return m_control.cancelRequested();
}

void RecoveryJob::Notify() {
  if (m_onChange) m_onChange();
}

int32_t RecoveryJob::Report(int32_t percent, int32_t code, const fs::path& path, bool copyCodes) {
  {
    std::lock_guard lock(m_control.lock());
    if (m_control.cancelRequested()) return kCancelled;
    if (percent != 100) {
      m_progress.percent = percent;
      m_progress.current = path;
    }
  }
  if (percent == 100) {
    AddRow(path, code, copyCodes);
  } else {
    Notify();
  }
  return 0;
}

void RecoveryJob::AddRow(const fs::path& path, int32_t code, bool copyCodes) {
  {
    std::lock_guard lock(m_control.lock());
    m_rows.add(path, copyCodes ? CopyResultText(code) : ResultText(code), code == 0);
    ++m_progress.processed;
    if (code != 0) ++m_progress.failed;
    const auto k = static_cast<size_t>(m_currentKind);
    ++(code == 0 ? m_written : m_failedOfKind)[k];
    m_progress.percent = 100;
    m_progress.current = path;
  }
  Notify();
}

CopyProgressCallback RecoveryJob::PartProgress(int32_t& failure) {
  return [this, &failure](int32_t percent, int32_t code, const fs::path& path) {
    if (code != 0 && failure == 0) failure = code;
    // A part that failed stops its item: nothing more is written after a failed write.
    if (failure != 0) return failure;
    // The item's own row says when it is done.
    if (percent >= 100) return CancelRequested() ? kCancelled : 0;
    return Report(percent, 0, path);
  };
}

void RecoveryJob::AddFailure(const fs::path& path, const std::string& status) {
  {
    std::lock_guard lock(m_control.lock());
    m_rows.add(path, status, false);
    ++m_progress.otherFailures;
    ++m_failedOfKind[static_cast<size_t>(m_currentKind)];
  }
  Notify();
}

void RecoveryJob::Run() {
  {
    std::lock_guard lock(m_control.lock());
    m_stamp = m_fixedStamp.empty() ? RecoveryStampNow() : m_fixedStamp;
    m_progress.processed = 0;
    m_progress.failed = 0;
    m_progress.otherFailures = 0;
    // What this run writes: the filter's hidden items never are.
    m_progress.total = static_cast<uint32_t>(m_statistics.RecoveryItems().size());
  }
  m_messagesWritten = false;
  m_contactRows = {};
  m_callRows = {};
  m_noteRows = {};
  m_written = {};
  m_failedOfKind = {};
  m_attachmentFiles = AttachmentFiles(m_results);
  try {
    RunItems();
    Finish();
  } catch (const std::exception& e) {
    // Nothing may escape the worker: the failure becomes a row the user sees.
    DiscardListReports();
    AddFailure(m_root, std::string("Recovery stopped: ") + e.what());
  } catch (...) {
    DiscardListReports();
    AddFailure(m_root, "Recovery stopped by an unexpected failure");
  }
  m_control.markFinished();
  Notify();
}

void RecoveryJob::RunItems() {
  for (const StatisticsEntry* entry : m_statistics.RecoveryItems()) {
    // After a cancel no further item is started, so nothing half-written follows it.
    if (CancelRequested()) return;
    const void* record = entry->record;
    m_currentKind = entry->kind;
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
        AddListRow(m_contactRows, m_root / "Contacts" / m_stamp / "Contacts.html", m_templates.contacts,
                   ContactRow(*static_cast<const ContactRecord*>(record)));
        break;
      case ItemKind::CallHistory:
        AddListRow(m_callRows, m_root / "CallHistory" / ("CallHistory_" + m_stamp + ".html"),
                   m_templates.callHistory, CallRow(*static_cast<const CallRecord*>(record)));
        break;
      case ItemKind::Notes:
        AddListRow(m_noteRows, m_root / "Notes" / ("Notes_" + m_stamp + ".html"), m_templates.notes,
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
  const int32_t code = CopyStored(source, target);
  if (code == kCancelled && CancelRequested()) return;
  AddRow(target, code, true);
}

int32_t RecoveryJob::CopyStored(const fs::path& source, const fs::path& target) {
  int32_t failure = 0;
  const int32_t rc = m_session.CopyOut(source, target, PartProgress(failure));
  int32_t code = failure != 0 ? failure : rc;
  std::error_code ec;
  // A copy that claims success but is not the whole file is no recovered file either.
  if (code == 0 && fs::file_size(source, ec) != fs::file_size(target, ec)) code = ec ? ec.value() : EIO;
  // A copy cut short or failed is not a recovered file; leave no truncated copy behind.
  if (code != 0) fs::remove(target, ec);
  return code;
}

namespace {

// The deleted messages of a conversation, copied into `kept`.
template <typename Message>
const std::vector<Message>* DeletedOf(const std::vector<Message>& messages, std::vector<Message>& kept) {
  for (const auto& m : messages)
    if (m.deleted) kept.push_back(m);
  return &kept;
}

}  // namespace

// The outcome of an item written as several files: the first failure decides.
struct RecoveryJob::ItemResult {
  int32_t code = 0;
  fs::path failed;
  void Note(const fs::path& path, int32_t rc) {
    if (rc == 0 || code != 0) return;
    code = rc;
    failed = path;
  }
};

PageAttachment RecoveryJob::AttachPageFile(const fs::path& pageFolder, std::string_view phonePath,
                                           const fs::path* source, const std::string& name,
                                           std::map<fs::path, PageAttachment>& copied, ItemResult& item) {
  if (!source) return {std::string(PhoneFileName(phonePath)), {}, false};
  if (const auto done = copied.find(*source); done != copied.end()) return done->second;
  const fs::path folder = pageFolder / "Attachments";
  const fs::path target = m_uniquePaths.make(folder / SafeFileName(name));
  PageAttachment shown{name, {}, false};
  int32_t code = EEXIST;
  if (!target.empty()) {
    code = CreateFolders(folder);
    if (code == 0) code = CopyStored(*source, target);
  }
  if (code == 0) {
    shown.href = RelativeHref(fs::path("Attachments") / target.filename());
    shown.picture = IsBrowserPicture(name);
  } else if (code != kCancelled) {
    item.Note(target.empty() ? folder / SafeFileName(name) : target, code);
  }
  copied.emplace(*source, shown);
  return shown;
}

void RecoveryJob::WriteConversation(const MessageRecord& first) {
  const std::string person = ConversationPerson(first);
  const fs::path folder = m_root / "Message" / (SafeFileName(person) + "-" + m_stamp);
  CreateFolders(folder);
  m_messagesWritten = true;
  const auto found = m_results.conversations.find(first.handleRowId);
  const auto* messages = found == m_results.conversations.end() ? nullptr : &found->second;
  std::vector<MessageRecord> deletedOnly;
  if (messages && m_statistics.DeletedOnlyFilter(ItemKind::Messages))
    messages = DeletedOf(*messages, deletedOnly);
  const std::string base = SafeFileName(ConversationBase(first));
  ItemResult item;
  std::vector<PageAttachment> attachments;
  if (messages) {
    std::map<fs::path, PageAttachment> copied;
    attachments.resize(messages->size());
    for (size_t i = 0; i < messages->size(); ++i) {
      const std::string& phonePath = (*messages)[i].attachment;
      if (phonePath.empty()) continue;
      const AttachmentFileRecord* file = m_attachmentFiles.OfMessage(phonePath);
      attachments[i] = AttachPageFile(folder, phonePath, file ? &file->path : nullptr,
                                      file ? file->name : std::string(), copied, item);
      if (CancelRequested()) return;
    }
  }
  if (const fs::path txt = m_uniquePaths.make(folder / (base + ".txt")); !txt.empty()) {
    item.Note(txt, WriteConversationText(txt, messages));
  }
  const fs::path html = m_uniquePaths.make(folder / (base + ".html"));
  if (html.empty()) {
    AddRow(folder / (base + ".html"), EEXIST, false);
    return;
  }
  const std::string head = FillPersonLine(m_templates.sms.head, person, first.address);
  int32_t failure = 0;
  const int32_t rc =
      WriteConversationReport(html, head, m_templates.sms.tail, messages, PartProgress(failure), attachments);
  if (rc == kCancelled && CancelRequested()) return;
  item.Note(html, failure != 0 ? failure : rc);
  AddRow(item.failed.empty() ? html : item.failed, item.code, false);
}

void RecoveryJob::WriteChat(const WhatsAppMessageRecord& first) {
  const std::string chat = SafeFileName(ChatName(first));
  const fs::path folder = m_root / "WhatsApp Message" / (chat + "-" + m_stamp);
  CreateFolders(folder);
  const auto found = m_results.whatsAppChats.find(first.chatRowId);
  const auto* messages = found == m_results.whatsAppChats.end() ? nullptr : &found->second;
  std::vector<WhatsAppMessageRecord> deletedOnly;
  if (messages && m_statistics.DeletedOnlyFilter(ItemKind::WhatsApp))
    messages = DeletedOf(*messages, deletedOnly);
  ItemResult item;
  std::vector<PageAttachment> attachments;
  if (messages) {
    std::map<fs::path, PageAttachment> copied;
    attachments.resize(messages->size());
    for (size_t i = 0; i < messages->size(); ++i) {
      // A media message's text is the item's path on the phone ("Media/<chat>/...").
      const std::string& text = (*messages)[i].text;
      const bool pathText = text.rfind("Media/", 0) == 0;
      if ((*messages)[i].mediaRowId == 0 && !pathText) continue;
      const MediaFileRecord* file = m_attachmentFiles.OfChatMedia(text);
      if (!file && !pathText) continue;  // a caption, its item not in the backup
      attachments[i] = AttachPageFile(folder, text, file ? &file->path : nullptr,
                                      file ? file->name : std::string(), copied, item);
      if (CancelRequested()) return;
    }
  }
  if (const fs::path txt = m_uniquePaths.make(folder / (chat + ".txt")); !txt.empty())
    item.Note(txt, WriteChatText(txt, messages));
  if (const fs::path csv = m_uniquePaths.make(folder / (chat + ".csv")); !csv.empty())
    item.Note(csv, WriteChatCsv(csv, messages));
  const fs::path html = m_uniquePaths.make(folder / (chat + ".html"));
  if (html.empty()) {
    AddRow(folder / (chat + ".html"), EEXIST, false);
    return;
  }
  const std::string head = FillPersonLine(m_templates.whatsApp.head, first.chatTitle, first.chatPhones);
  int32_t failure = 0;
  const int32_t rc =
      WriteChatReport(html, head, m_templates.whatsApp.tail, messages, PartProgress(failure), attachments);
  if (rc == kCancelled && CancelRequested()) return;
  item.Note(html, failure != 0 ? failure : rc);
  AddRow(item.failed.empty() ? html : item.failed, item.code, false);
}

void RecoveryJob::AddListRow(ListReportFile& list, const fs::path& reportPath, const ReportTemplate& report,
                             const std::string& row) {
  list.addRow(reportPath, report, row);
  Report(99, 0, reportPath);
}

void RecoveryJob::FinishListReport(ListReportFile& list, const ReportTemplate& report, ItemKind kind) {
  if (list.items() == 0) return;
  m_currentKind = kind;
  // Its items are written when the report is, and failed when it is not.
  const int32_t rc = list.finish(report);
  for (uint32_t i = 0; i < list.items(); ++i) AddRow(list.path(), rc, false);
}

void RecoveryJob::DiscardListReports() {
  m_contactRows.discard();
  m_callRows.discard();
  m_noteRows.discard();
}

void RecoveryJob::ExportTable(const fs::path& csv,
                              int32_t (IPhoneRecoveryParse::*exporter)(const fs::path&)) {
  std::error_code ec;
  fs::remove(csv, ec);
  const int32_t rc = (m_session.*exporter)(csv);
  if (rc == kOk) return;
  fs::remove(csv, ec);
  AddFailure(csv, rc == kInvalid ? std::string("The table could not be read from the backup")
                                 : "The table could not be written: " + ResultText(rc));
}

void RecoveryJob::Finish() {
  m_currentKind = ItemKind::Messages;
  if (m_messagesWritten) ExportTable(m_root / "Message" / "sms.csv", &IPhoneRecoveryParse::ExportMessagesCsv);
  FinishListReport(m_callRows, m_templates.callHistory, ItemKind::CallHistory);
  FinishListReport(m_noteRows, m_templates.notes, ItemKind::Notes);
  if (m_contactRows.items() > 0) {
    m_currentKind = ItemKind::Contacts;
    CreateFolders(m_contactRows.path().parent_path());
    ExportTable(m_contactRows.path().parent_path() / "Contacts.csv", &IPhoneRecoveryParse::ExportContactsCsv);
    FinishListReport(m_contactRows, m_templates.contacts, ItemKind::Contacts);
  }
  // Even a cancelled run says what it wrote; one cancelled before writing
  // anything leaves nothing behind.
  const RecoveryProgress progress = Progress();
  if (!(progress.cancelled && progress.processed == 0)) WriteIndexPage();
}

void RecoveryJob::WriteIndexPage() {
  IndexPageInput page;
  page.source = m_source;
  page.writtenAt = m_stamp.size() == 14 ? m_stamp.substr(0, 4) + "-" + m_stamp.substr(4, 2) + "-" +
                                              m_stamp.substr(6, 2) + " " + m_stamp.substr(8, 2) + ":" +
                                              m_stamp.substr(10, 2) + ":" + m_stamp.substr(12, 2)
                                        : m_stamp;
  // The application files are counted where they lie, without a split copy of them.
  size_t appVideos = 0;
  for (const AppFileRecord& file : m_results.appFiles)
    if (IsAppVideoName(file.name)) ++appVideos;
  const AppFileSplit noApps;
  for (int32_t k = kFirstItemKind; k <= kLastItemKind; ++k) {
    IndexCategory c;
    c.kind = static_cast<ItemKind>(k);
    if (const auto category = ScanCategoryOf(c.kind)) {
      const LiveDeletedCount found = CountCategory(m_results, noApps, *category);
      c.live = found.live;
      c.deleted = found.deleted;
      if (c.kind == ItemKind::AppPhotos) c.live = m_results.appFiles.size() - appVideos;
      if (c.kind == ItemKind::AppVideos) c.live = appVideos;
      if (const auto status = m_results.status.find(*category); status != m_results.status.end()) {
        c.status = status->second;
      }
    }
    {
      std::lock_guard lock(m_control.lock());
      c.written = m_written[static_cast<size_t>(k)];
      c.failed = m_failedOfKind[static_cast<size_t>(k)];
    }
    page.categories.push_back(std::move(c));
  }
  for (const auto& row : FailedRows()) {
    const fs::path relative = row.path.lexically_relative(m_root);
    page.failures.push_back(
        {relative.empty() || *relative.begin() == ".." ? row.path : relative, row.status});
  }
  // Every folder and page that is there now, in a stable order.
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(m_root, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const auto& path = it->path();
    const bool folder = it->is_directory(ec) && it.depth() == 0;
    const bool report =
        it->is_regular_file(ec) && (path.extension() == ".html" || path.extension() == ".csv");
    if ((folder || report) && path.filename() != "index.html")
      page.links.push_back(path.lexically_relative(m_root));
  }
  std::sort(page.links.begin(), page.links.end());
  const fs::path index = m_root / "index.html";
  if (const int32_t rc = WriteWholeFile(index, BuildIndexPage(page))) AddFailure(index, ResultText(rc));
}

}  // namespace fq

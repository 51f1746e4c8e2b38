#include "engine/session/ScanSession.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "engine/ResultCodes.h"
#include "engine/session/AppFileSplit.h"

namespace fq {
namespace {

constexpr int32_t kMaxPercentShown = 99;

size_t CountFiles(const std::map<std::string, std::vector<AppFileRecord>>& byApp) {
  size_t count = 0;
  for (const auto& [app, files] : byApp) count += files.size();
  return count;
}

// An operation that throws (a reader meeting something it did not expect)
// fails like any other: with 87, and the scan goes on or ends as for 87.
template <typename Operation>
int32_t Guarded(Operation&& operation) {
  try {
    return operation();
  } catch (...) {
    return kInvalid;
  }
}

}  // namespace

ScanSession::ScanSession(IEventSink& events, IScanView* view) : m_events(events), m_view(view) {}

ScanSession::~ScanSession() {
  if (m_thread.joinable()) {
    RequestCancel();
    m_thread.join();
  }
  ReleaseRecovery();
}

void ScanSession::ReleaseRecovery() {
  // The store outlives the session: it must not keep a callback into it.
  if (m_recovery) m_recovery->SetProgressCallback(nullptr);
  m_recovery.reset();
}

bool ScanSession::Start(std::unique_ptr<IPhoneRecoveryParse> recovery, std::string password) {
  if (m_thread.joinable()) {
    if (!m_control.finished()) return false;
    m_thread.join();
  }
  if (m_paused) {
    // A pause that outlived its scan would freeze the new one at its first report.
    m_paused = false;
    m_control.lock().leave();
  }
  ReleaseRecovery();  // the previous scan's object lives until the next scan starts
  m_recovery = std::move(recovery);
  ClearResults();
  if (!m_recovery) return false;
  m_recovery->SetProgressCallback([this](int32_t percent) { return ReportProgress(percent); });
  m_control.begin();
  m_result = 0;
  m_thread = std::thread([this, password = std::move(password)]() mutable { Run(std::move(password)); });
  return true;
}

void ScanSession::Wait() {
  if (m_thread.joinable()) m_thread.join();
}

void ScanSession::ClearResults() {
  m_results = ScanResults{};
  m_percentShown = 0;
  m_firstDisplay = -1;
}

std::optional<ScanCategory> ScanSession::firstDisplay() const {
  const int node = m_firstDisplay.load();
  if (node < 0) return std::nullopt;
  return static_cast<ScanCategory>(node);
}

int32_t ScanSession::ReportProgress(int32_t percent) {
  std::lock_guard lock(m_control.lock());
  if (m_control.cancelRequested()) return kCancelled;
  if (percent > m_percentShown.load()) {
    int32_t shown = percent;
    if (percent == 1) {
      m_events.postEvent(kMsgScanEvent, kScanEventFirstProgress);
      if (m_firstReportPause.count() > 0) std::this_thread::sleep_for(m_firstReportPause);
      if (m_view) m_view->showScanPage();
      shown = 2;
    }
    shown = std::min(shown, kMaxPercentShown);
    if (shown > m_percentShown.load()) m_percentShown = shown;
    if (m_view) m_view->percentChanged(m_percentShown.load(), m_results);
  }
  return kOk;
}

void ScanSession::Run(std::string password) {
  const int32_t opened = Guarded([&] { return m_recovery->Open(password); });
  int32_t result = opened;
  ScanOutcome outcome;
  bool categoriesRan = false;
  if (opened == kOk) {
    m_events.postEvent(kMsgCountsChanged, 0);
    result = RunCategorySteps();
    categoriesRan = true;
    if (result == kCancelled && m_control.cancelRequested())
      outcome = {ScanOutcomeKind::Cancelled, kCancelled, {}};
  } else if (opened == kCancelled && m_control.cancelRequested()) {
    // cancelled during Open: ends quietly
    outcome = {ScanOutcomeKind::Cancelled, kCancelled, {}};
  } else if (opened == kDeviceGaveUp) {
    result = kCancelled;
    // The device ends its backup this way when the user stops the scan, but
    // also when it is unplugged or cancels on its own side: only the first
    // is a cancel.
    outcome = m_control.cancelRequested() ? ScanOutcome{ScanOutcomeKind::Cancelled, kCancelled, {}}
                                          : OpenFailed(opened);
  } else if (opened == kWrongPassword) {
    m_events.postEvent(kMsgScanEvent, kScanEventWrongPassword);
    outcome = OpenFailed(opened);
  } else {
    m_events.postEvent(kMsgScanEvent, kScanEventFailed);
    result = kCancelled;
    // A device stopped by the user may answer with any code of its library.
    outcome = m_control.cancelRequested() ? ScanOutcome{ScanOutcomeKind::Cancelled, kCancelled, {}}
                                          : OpenFailed(opened);
  }
  // The result and the outcome are in place before anyone who waits on the flag can look.
  m_outcome = std::move(outcome);
  m_result = result;
  m_control.markFinished();
  // Once the categories ran the scan has ended, whatever the last of them
  // answered: the view must leave its scanning state.
  if (categoriesRan || result == kOk || result == kCancelled) m_events.postEvent(kMsgScanEnded, 0);
}

ScanOutcome ScanSession::OpenFailed(int32_t code) const {
  std::string reason = m_recovery->OpenFailureReason();
  if (reason.empty()) {
    reason = code == kWrongPassword
                 ? "wrong backup password"
                 : "the scan could not open its source (code " + std::to_string(code) + ")";
  }
  return {ScanOutcomeKind::Failed, code, std::move(reason)};
}

int32_t ScanSession::RunCategorySteps() {
  IPhoneRecoveryParse& r = *m_recovery;
  ScanResults& lists = m_results;
  struct Step {
    std::function<int32_t()> scan;
    std::function<void()> handOver;
  };
  const std::array<Step, 9> steps = {{
      {[&] { return r.ScanPhotos(lists.cameraRoll, lists.photoStream); },
       [&] {
         HandOver(ScanCategory::CameraRoll, lists.cameraRoll.size());
         HandOver(ScanCategory::PhotoStream, lists.photoStream.size());
       }},
      {[&] { return r.ScanMessages(lists.conversations); },
       [&] { HandOver(ScanCategory::Messages, CountConversations(lists.conversations)); }},
      {[&] { return r.ScanMessageAttachments(lists.messageAttachments); },
       [&] { HandOver(ScanCategory::MessagesAttachments, lists.messageAttachments.size()); }},
      {[&] { return r.ScanContacts(lists.contacts); },
       [&] { HandOver(ScanCategory::Contacts, lists.contacts.size()); }},
      {[&] { return r.ScanCallHistory(lists.calls); },
       [&] { HandOver(ScanCategory::CallHistory, lists.calls.size()); }},
      {[&] { return r.ScanNotes(lists.notes); }, [&] { HandOver(ScanCategory::Notes, lists.notes.size()); }},
      {[&] { return r.ScanAppFiles(lists.appFiles); },
       [&] {
         const auto split = SplitAppFiles(lists.appFiles);
         HandOver(ScanCategory::AppPhotos, CountFiles(split.photos));
         HandOver(ScanCategory::AppVideos, CountFiles(split.videos));
       }},
      {[&] { return r.ScanWhatsApp(lists.whatsAppChats); },
       [&] { HandOver(ScanCategory::WhatsApp, CountConversations(lists.whatsAppChats)); }},
      {[&] { return r.ScanWhatsAppAttachments(lists.whatsAppAttachments); },
       [&] { HandOver(ScanCategory::WhatsAppAttachments, lists.whatsAppAttachments.size()); }},
  }};
  int32_t result = kOk;
  for (const auto& step : steps) {
    result = Guarded(step.scan);
    // Only a cancel ends the sequence; any other failure leaves that list as
    // it is. A 2 without a cancel request is errno ENOENT (a database missing
    // from the backup), not the user's answer.
    if (result == kCancelled && m_control.cancelRequested()) break;
    RecordStatus();
    step.handOver();
  }
  RecordSkippedFiles();
  return result;
}

void ScanSession::RecordStatus() {
  for (const ScanCategory category :
       {ScanCategory::Messages, ScanCategory::Contacts, ScanCategory::CallHistory, ScanCategory::Notes,
        ScanCategory::WhatsApp}) {
    CategoryStatus status = m_recovery->DatabaseStatus(category);
    if (status.state == CategoryState::Read) {
      m_results.status.erase(category);
    } else {
      m_results.status[category] = std::move(status);
    }
  }
}

void ScanSession::RecordSkippedFiles() {
  m_results.skipped.clear();
  for (const ScanCategory category : {ScanCategory::CameraRoll, ScanCategory::PhotoStream,
                                      ScanCategory::MessagesAttachments, ScanCategory::WhatsAppAttachments}) {
    if (auto files = m_recovery->SkippedFiles(category); !files.empty())
      m_results.skipped[category] = std::move(files);
  }
}

void ScanSession::HandOver(ScanCategory category, size_t count) {
  if (m_view) m_view->categoryReady(category, count);
  if (count == 0) return;
  if (m_firstDisplay.load() < 0 && !(m_view && m_view->hasSelection())) {
    m_firstDisplay = static_cast<int>(category);
  }
  m_events.postEvent(kMsgCountsChanged, 0);
  if (m_firstDisplay.load() >= 0) m_events.postEvent(kMsgFirstCategory, 0);
}

void ScanSession::TogglePause() {
  if (!m_paused) {
    m_control.lock().enter();
    m_paused = true;
  } else {
    m_paused = false;
    m_control.lock().leave();
  }
}

int32_t ScanSession::Stop(const std::function<int32_t()>& ask) {
  if (!m_paused) m_control.lock().enter();
  const int32_t answer = ask ? ask() : kAnswerOk;
  if (answer == kAnswerOk) {
    m_paused = false;
    if (m_raiseQuit) m_raiseQuit();
    m_control.setCancel();
    m_control.lock().leave();
    WaitUntilFinished();
  } else if (!m_paused) {
    m_control.lock().leave();
  }
  return answer;
}

int32_t ScanSession::AskClose(const std::function<int32_t()>& ask) {
  if (m_control.finished() && m_firstDisplay.load() < 0) return kAnswerOk;
  if (!m_paused) m_control.lock().enter();
  const int32_t answer = ask ? ask() : kAnswerOk;
  if (answer == kAnswerOk) {
    m_paused = false;
    m_control.setCancel();
    m_control.lock().leave();
    WaitUntilFinished();
    return kAnswerOk;
  }
  if (!m_paused) m_control.lock().leave();
  return answer;
}

void ScanSession::Cancel() { RequestCancel(); }

void ScanSession::RequestCancel() {
  if (m_paused) {
    // The lock is already ours: set the flag, then let the scan thread see it.
    m_paused = false;
    if (m_raiseQuit) m_raiseQuit();
    m_control.setCancel();
    m_control.lock().leave();
    return;
  }
  std::lock_guard lock(m_control.lock());
  if (m_raiseQuit) m_raiseQuit();
  m_control.setCancel();
}

void ScanSession::WaitUntilFinished() {
  m_control.waitUntilFinished(m_betweenWaits);
  if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

}  // namespace fq

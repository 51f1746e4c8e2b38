#pragma once
// The recovery job: writes the ticked items of a scan into the output tree
// under the chosen folder (files copied out of the backup, conversation and
// chat pages, text and CSV files, the contacts, call-history and notes
// reports), with progress, a result row per finished item, counters and
// cancel. The GUI's recovery window and the CLI both drive it.
//
// Cancel and progress follow the worker protocol of engine/session/WorkerControl.h
// (HoldProgress freezes the worker, e.g. while the user is asked).
//
// How the CLI drives it:
//   CStatisticsObj stats;  const auto apps = SplitAppFiles(results.appFiles);   // engine
//   SelectForRecovery(results, apps.photos, apps.videos, request, stats);       // Selection.h
//   ReportTemplates templates;
//   if (LoadReportTemplates(ProgramFolder() / "template", deviceName, templates)) -> error, stop
//   RecoveryJob job(outDir, results, stats, session, templates);
//   job.Start();
//   while (!job.IsFinished()) {                                 // 50-100 ms steps
//     if (ctrlCSeen) job.Cancel();                              // flag set by SIGINT handler
//     fputs(FormatProgressLine(job.Progress()).c_str(), stderr);
//     sleep;
//   }
//   job.Join();
//   puts(FormatRecoverySummary(job.Progress(), job.FailedRows(), job.OutputRoot()).c_str());
//   exit status: job.Progress().cancelled ? 2 : (failed ? 1 : 0)
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/session/IPhoneRecoveryParse.h"
#include "engine/session/ScanResults.h"
#include "engine/session/WorkerControl.h"
#include "output/AttachmentFiles.h"
#include "output/CStatisticsObj.h"
#include "output/HtmlReports.h"
#include "output/IndexPage.h"
#include "output/ListReportFile.h"
#include "output/OutputNames.h"
#include "output/RecoveryRows.h"
#include "output/ReportTemplates.h"

namespace fq {

struct RecoveryProgress {
  int32_t percent = 0;            // of the item being written
  std::filesystem::path current;  // its output path
  uint32_t processed = 0;
  uint32_t failed = 0;
  uint32_t total = 0;  // the items the job writes (hidden ones are not written)
  // Failed rows that are no item (a table export, the index page, a stopped
  // run): listed, but outside the item counts, so processed never passes total.
  uint32_t otherFailures = 0;
  bool finished = false;
  bool cancelled = false;
  uint32_t Succeeded() const { return processed >= failed ? processed - failed : 0; }
};

class RecoveryJob {
 public:
  // All references must outlive the job. `onChange` (optional) is called on the
  // worker thread, outside the lock, after each progress report and at the end.
  RecoveryJob(std::filesystem::path outputRoot, const ScanResults& results, const CStatisticsObj& statistics,
              IPhoneRecoveryParse& session, const ReportTemplates& templates,
              std::function<void()> onChange = {});
  ~RecoveryJob();  // cancels a running worker and joins it
  RecoveryJob(const RecoveryJob&) = delete;
  RecoveryJob& operator=(const RecoveryJob&) = delete;

  // Uses this stamp in place of the local time of the start.
  void SetStamp(std::string stamp) { m_fixedStamp = std::move(stamp); }
  // Where the data came from, for the index page written at the end.
  void SetSource(RecoverySource source) { m_source = std::move(source); }

  // Runs the job on a worker thread (once).
  void Start();
  // Runs the job on the calling thread.
  void Run();
  // Waits for the worker thread to end.
  void Join();

  // Holds the progress lock: the worker stops at its next report until released.
  std::unique_lock<CountedLock> HoldProgress() { return m_control.hold(); }
  // Sets the cancel flag under the lock held by the caller, or taking it.
  void Cancel(std::unique_lock<CountedLock>& held);
  void Cancel();
  bool IsFinished() const { return m_control.finished(); }
  // Sleeps in 50 ms steps until the finished flag is set; `between` runs
  // between the steps (the UI repaints there).
  void WaitUntilFinished(const std::function<void()>& between = {}) const {
    m_control.waitUntilFinished(between);
  }

  RecoveryProgress Progress() const;
  std::vector<RecoveryRow> Rows() const;
  // The number of rows so far, and the rows from `first` on: a window that
  // shows them takes only the new ones at each update.
  size_t RowCount() const;
  std::vector<RecoveryRow> RowsFrom(size_t first) const;
  // The rows that failed, in order: all a summary of the run lists.
  std::vector<RecoveryRow> FailedRows() const;
  const std::filesystem::path& OutputRoot() const { return m_root; }
  // The recovery stamp of the run ("YYYYMMDDhhmmss"); empty before it starts.
  std::string Stamp() const;

  // The progress callback: percent 100 ends an item (a row, counted). Answers
  // 2 once cancelled. `copyCodes`: the code comes from a file copy.
  int32_t Report(int32_t percent, int32_t code, const std::filesystem::path& path, bool copyCodes = false);

 private:
  struct ItemResult;
  void RunItems();
  void CopyFile(const std::filesystem::path& folder, const std::string& name,
                const std::filesystem::path& source);
  // Copies a stored file to `target`: 0 or the failure, a partial copy removed.
  int32_t CopyStored(const std::filesystem::path& source, const std::filesystem::path& target);
  // A file a page shows, copied once per page into the page's "Attachments"
  // folder. `source` null: the backup does not hold it, the page names it.
  // A failed copy is noted in `item` and the page names the file.
  PageAttachment AttachPageFile(const std::filesystem::path& pageFolder, std::string_view phonePath,
                                const std::filesystem::path* source, const std::string& name,
                                std::map<std::filesystem::path, PageAttachment>& copied, ItemResult& item);
  void WriteConversation(const MessageRecord& first);
  void WriteChat(const WhatsAppMessageRecord& first);
  // A list report is written while its rows come; its items count as written
  // only when the whole report is, at the end.
  void AddListRow(ListReportFile& list, const std::filesystem::path& reportPath, const ReportTemplate& report,
                  const std::string& row);
  void Finish();
  void FinishListReport(ListReportFile& list, const ReportTemplate& report, ItemKind kind);
  void ExportTable(const std::filesystem::path& csv,
                   int32_t (IPhoneRecoveryParse::*exporter)(const std::filesystem::path&));
  // Progress within one item: never ends it, answers 2 once cancelled. The
  // first failure a part reports is kept in `failure`.
  CopyProgressCallback PartProgress(int32_t& failure);
  void AddRow(const std::filesystem::path& path, int32_t code, bool copyCodes);
  void WriteIndexPage();
  void AddFailure(const std::filesystem::path& path, const std::string& status);
  // Removes the list reports begun before a failure that stops the run.
  void DiscardListReports();
  bool CancelRequested();
  void Notify();

  std::filesystem::path m_root;
  const ScanResults& m_results;
  const CStatisticsObj& m_statistics;
  IPhoneRecoveryParse& m_session;
  const ReportTemplates& m_templates;
  std::function<void()> m_onChange;
  std::string m_fixedStamp;
  RecoverySource m_source;
  UniquePaths m_uniquePaths;
  AttachmentFiles m_attachmentFiles;

  // Worker state.
  std::string m_stamp;
  bool m_messagesWritten = false;
  ListReportFile m_contactRows, m_callRows, m_noteRows;
  // Per category (index: the kind's number), what was written and what failed.
  ItemKind m_currentKind = ItemKind::CameraRoll;
  std::array<uint32_t, kLastItemKind + 1> m_written{};
  std::array<uint32_t, kLastItemKind + 1> m_failedOfKind{};

  mutable WorkerControl m_control{false};  // its lock guards everything below
  RecoveryProgress m_progress;
  RecoveryRows m_rows;
  std::thread m_thread;
};

}  // namespace fq

#pragma once
// Reads a scan's record databases (messages, contacts, call history, notes,
// WhatsApp) on a worker thread, in scan order, while the scan thread probes
// the camera roll; each scan step then takes its database's read when it
// comes to it. The worker never reports progress itself: it records the
// messages reader's reports, and the step replays them, so the scan reports,
// lists and hands over exactly as when it reads each database itself.
// Files are only read.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "engine/ProgressState.h"
#include "engine/records/CallRecord.h"
#include "engine/records/ContactRecord.h"
#include "engine/records/MessageRecords.h"
#include "engine/records/NoteRecord.h"
#include "engine/records/WhatsAppRecords.h"
#include "engine/session/CategoryStatus.h"

namespace fq {

// What the readers are given, fixed once the backup is open.
struct RecordDatabases {
  std::filesystem::path messages;
  std::filesystem::path addressBook;
  std::filesystem::path callHistory;
  std::filesystem::path legacyNotes;
  std::filesystem::path noteStore;
  std::filesystem::path whatsApp;  // empty: the backup has no chat database
  bool newerThan11 = false;
  // A progress callback is set: the messages reader's reports are recorded.
  bool reportsProgress = false;
  int32_t step = 0;  // the progress points of one category step
  int64_t highestMessageRowId = 0;
  int64_t highestContactRowId = 0;
};

// One database as its reader left it: the reader's answer, its records and
// the status of the database read with that answer.
template <typename Records>
struct DatabaseRead {
  int32_t result = 0;
  Records records;
  CategoryStatus status;
};

struct MessagesRead : DatabaseRead<ConversationMap> {
  std::filesystem::path database;
  bool reportsRecorded = false;  // read through a recording callback
  // The reader's reports, each as an offset from the percent reached when the
  // step runs, and the highest row id it had stored when it made each one.
  std::vector<int32_t> reports;
  std::vector<int64_t> highestRowIdAtReport;
  int64_t highestRowId = 0;
};

struct ContactsRead : DatabaseRead<std::vector<ContactRecord>> {
  int64_t highestRowId = 0;
};

// The five readers as a scan step runs them, each with the status of its
// database; the worker and a step reading for itself call the same ones.
int32_t ReadMessagesDatabase(const std::filesystem::path& database, const std::filesystem::path& addressBook,
                             bool newerThan11, const ProgressState& progress, ConversationMap& conversations,
                             int64_t& highestRowId, CategoryStatus& status);
int32_t ReadContactsDatabase(const std::filesystem::path& database, bool newerThan11,
                             std::vector<ContactRecord>& contacts, int64_t& highestRowId,
                             CategoryStatus& status);
int32_t ReadCallsDatabase(const std::filesystem::path& database, const std::filesystem::path& addressBook,
                          bool newerThan11, std::vector<CallRecord>& calls, CategoryStatus& status);
int32_t ReadNotesDatabases(const std::filesystem::path& legacy, const std::filesystem::path& noteStore,
                           std::vector<NoteRecord>& notes, CategoryStatus& status);
int32_t ReadWhatsAppDatabase(const std::filesystem::path& database, WhatsAppChatMap& chats,
                             CategoryStatus& status);

// Hands a read of the worker's messages over as ReadMessagesDatabase would
// have read them through `progress`: the recorded reports are made again,
// and the callback's answers end the reading where the reader would have
// ended it (nothing added, the last report still made, its answer returned).
int32_t ReplayMessagesRead(MessagesRead& read, const ProgressState& progress, ConversationMap& conversations,
                           int64_t& highestRowId, CategoryStatus& status);

class DatabasesAhead {
 public:
  DatabasesAhead() = default;
  ~DatabasesAhead();  // stops the worker and waits for it
  DatabasesAhead(const DatabasesAhead&) = delete;
  DatabasesAhead& operator=(const DatabasesAhead&) = delete;

  // Starts a worker reading `databases` in scan order. An earlier run is stopped first.
  void Start(RecordDatabases databases);
  // Each read as the worker made it, waiting for the worker to come that far;
  // none when it was stopped before, never ran, or its reader threw: the
  // caller reads that database itself. Each is given out once.
  std::optional<MessagesRead> TakeMessages();
  std::optional<ContactsRead> TakeContacts();
  std::optional<DatabaseRead<std::vector<CallRecord>>> TakeCalls();
  std::optional<DatabaseRead<std::vector<NoteRecord>>> TakeNotes();
  std::optional<DatabaseRead<WhatsAppChatMap>> TakeWhatsApp();
  // Asks the worker to end after its current database, without waiting:
  // what it has not read yet the scan reads itself.
  void RequestStop();
  // Ends the worker and waits for it; every read not taken is dropped.
  void Stop();

 private:
  enum Slot : size_t { kMessages, kContacts, kCalls, kNotes, kWhatsApp, kSlots };
  void Run(const RecordDatabases& databases);
  // Waits until the worker finished `slot` or ended, then moves it out of `read`.
  template <typename Read>
  std::optional<Read> Take(Slot slot, std::optional<Read>& read);
  // Runs `reader` (which fills a read) and stores the read under the lock;
  // false when the worker is to stop.
  template <typename Read, typename Reader>
  bool Publish(std::optional<Read>& read, Reader&& reader);
  bool stopRequested();

  std::mutex m_mutex;
  std::condition_variable m_progress;
  size_t m_done = 0;       // databases the worker is through with
  bool m_finished = true;  // no worker runs (or it has ended)
  bool m_stop = false;
  std::optional<MessagesRead> m_messages;
  std::optional<ContactsRead> m_contacts;
  std::optional<DatabaseRead<std::vector<CallRecord>>> m_calls;
  std::optional<DatabaseRead<std::vector<NoteRecord>>> m_notes;
  std::optional<DatabaseRead<WhatsAppChatMap>> m_whatsApp;
  std::thread m_worker;
};

}  // namespace fq

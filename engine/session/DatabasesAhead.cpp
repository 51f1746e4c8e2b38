#include "engine/session/DatabasesAhead.h"

#include <utility>

#include "engine/ResultCodes.h"
#include "engine/categories/CallHistoryReader.h"
#include "engine/categories/ContactsReader.h"
#include "engine/categories/MessagesReader.h"
#include "engine/categories/NoteStoreReader.h"
#include "engine/categories/WhatsAppReader.h"

namespace fq {
namespace {

constexpr std::string_view kMessagesName = "message database (sms.db)";

}  // namespace

int32_t ReadMessagesDatabase(const std::filesystem::path& database, const std::filesystem::path& addressBook,
                             bool newerThan11, const ProgressState& progress, ConversationMap& conversations,
                             int64_t& highestRowId, CategoryStatus& status) {
  const int32_t result =
      readMessages(database, addressBook, newerThan11, progress, conversations, highestRowId);
  status = StatusOfDatabaseRead(database, kMessagesName, result);
  return result;
}

int32_t ReadContactsDatabase(const std::filesystem::path& database, bool newerThan11,
                             std::vector<ContactRecord>& contacts, int64_t& highestRowId,
                             CategoryStatus& status) {
  const int32_t result = readContacts(database, newerThan11, contacts, highestRowId);
  status = StatusOfDatabaseRead(database, "address book (AddressBook.sqlitedb)", result);
  return result;
}

int32_t ReadCallsDatabase(const std::filesystem::path& database, const std::filesystem::path& addressBook,
                          bool newerThan11, std::vector<CallRecord>& calls, CategoryStatus& status) {
  const int32_t result = readCalls(database, addressBook, newerThan11, calls);
  status = StatusOfDatabaseRead(database, "call history database", result);
  return result;
}

int32_t ReadNotesDatabases(const std::filesystem::path& legacy, const std::filesystem::path& noteStore,
                           std::vector<NoteRecord>& notes, CategoryStatus& status) {
  const int32_t result = readAllNotes(legacy, noteStore, notes);
  status = NotesStatus(legacy, noteStore, result);
  return result;
}

int32_t ReadWhatsAppDatabase(const std::filesystem::path& database, WhatsAppChatMap& chats,
                             CategoryStatus& status) {
  // A backup without the chat database has nothing to read; the scan goes on.
  const int32_t result = database.empty() ? kOk : readWhatsApp(database, chats);
  status = StatusOfDatabaseRead(database, "WhatsApp database (ChatStorage.sqlite)", result);
  return result;
}

int32_t ReplayMessagesRead(MessagesRead& read, const ProgressState& progress, ConversationMap& conversations,
                           int64_t& highestRowId, CategoryStatus& status) {
  if (!progress.callback || !read.reportsRecorded || read.reports.empty()) {
    // Without a callback nothing is reported and the reader answers for itself.
    conversations = std::move(read.records);
    highestRowId = read.highestRowId;
    status = std::move(read.status);
    return read.result;
  }
  // The reader reports after each table and once more at its end; a nonzero
  // answer to a table's report skips the rest, straight to that last report.
  const size_t last = read.reports.size() - 1;
  bool complete = true;
  for (size_t i = 0; i < last; ++i) {
    if (progress.report(progress.current + read.reports[i]) != 0) {
      highestRowId = read.highestRowIdAtReport[i];
      complete = false;
      break;
    }
  }
  const int32_t answer = progress.report(progress.current + read.reports[last]);
  if (complete) {
    conversations = std::move(read.records);
    highestRowId = read.highestRowId;
  }
  // With a callback the reader's answer is the callback's last one.
  status = answer == read.result ? std::move(read.status)
                                 : StatusOfDatabaseRead(read.database, kMessagesName, answer);
  return answer;
}

DatabasesAhead::~DatabasesAhead() { Stop(); }

void DatabasesAhead::Start(RecordDatabases databases) {
  Stop();
  {
    const std::lock_guard lock(m_mutex);
    m_done = 0;
    m_finished = false;
    m_stop = false;
  }
  try {
    m_worker = std::thread([this, databases = std::move(databases)] {
      try {
        Run(databases);
      } catch (...) {
        // The scan reads what the worker did not; nothing may end the process.
      }
      {
        const std::lock_guard lock(m_mutex);
        m_finished = true;
      }
      m_progress.notify_all();
    });
  } catch (...) {
    // No thread to be had: every step reads its database itself.
    const std::lock_guard lock(m_mutex);
    m_finished = true;
  }
}

bool DatabasesAhead::stopRequested() {
  const std::lock_guard lock(m_mutex);
  return m_stop;
}

template <typename Read, typename Reader>
bool DatabasesAhead::Publish(std::optional<Read>& slot, Reader&& reader) {
  if (stopRequested()) return false;
  std::optional<Read> read;
  try {
    reader(read.emplace());
  } catch (...) {
    // Left to the scan, whose own reading meets the same fault and fails the step as it would.
    read.reset();
  }
  {
    const std::lock_guard lock(m_mutex);
    if (m_stop) return false;  // perhaps cut short: the scan reads it itself
    slot = std::move(read);
    ++m_done;
  }
  m_progress.notify_all();
  return true;
}

void DatabasesAhead::Run(const RecordDatabases& d) {
  const bool messagesRead = Publish(m_messages, [&](MessagesRead& read) {
    ProgressState recorder;
    recorder.step = d.step;  // reports from 0: offsets from where the step finds the percent
    if (d.reportsProgress) {
      recorder.callback = [&](int32_t percent) {
        read.reports.push_back(percent);
        read.highestRowIdAtReport.push_back(read.highestRowId);
        return stopRequested() ? kCancelled : kOk;
      };
    }
    read.database = d.messages;
    read.reportsRecorded = d.reportsProgress;
    read.highestRowId = d.highestMessageRowId;
    read.result = ReadMessagesDatabase(d.messages, d.addressBook, d.newerThan11, recorder, read.records,
                                       read.highestRowId, read.status);
  });
  if (!messagesRead) return;
  if (!Publish(m_contacts, [&](ContactsRead& read) {
        read.highestRowId = d.highestContactRowId;
        read.result =
            ReadContactsDatabase(d.addressBook, d.newerThan11, read.records, read.highestRowId, read.status);
      })) {
    return;
  }
  if (!Publish(m_calls, [&](auto& read) {
        read.result =
            ReadCallsDatabase(d.callHistory, d.addressBook, d.newerThan11, read.records, read.status);
      })) {
    return;
  }
  if (!Publish(m_notes, [&](auto& read) {
        read.result = ReadNotesDatabases(d.legacyNotes, d.noteStore, read.records, read.status);
      })) {
    return;
  }
  Publish(m_whatsApp,
          [&](auto& read) { read.result = ReadWhatsAppDatabase(d.whatsApp, read.records, read.status); });
}

template <typename Read>
std::optional<Read> DatabasesAhead::Take(Slot slot, std::optional<Read>& read) {
  std::unique_lock lock(m_mutex);
  // Once stopped the worker publishes nothing more: what it has not given is the scan's to read.
  m_progress.wait(lock, [&] { return m_done > slot || m_finished || m_stop; });
  return std::exchange(read, std::nullopt);
}

std::optional<MessagesRead> DatabasesAhead::TakeMessages() { return Take(kMessages, m_messages); }
std::optional<ContactsRead> DatabasesAhead::TakeContacts() { return Take(kContacts, m_contacts); }
std::optional<DatabaseRead<std::vector<CallRecord>>> DatabasesAhead::TakeCalls() {
  return Take(kCalls, m_calls);
}
std::optional<DatabaseRead<std::vector<NoteRecord>>> DatabasesAhead::TakeNotes() {
  return Take(kNotes, m_notes);
}
std::optional<DatabaseRead<WhatsAppChatMap>> DatabasesAhead::TakeWhatsApp() {
  return Take(kWhatsApp, m_whatsApp);
}

void DatabasesAhead::RequestStop() {
  {
    const std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_progress.notify_all();
}

void DatabasesAhead::Stop() {
  RequestStop();
  if (m_worker.joinable()) m_worker.join();
  const std::lock_guard lock(m_mutex);
  m_messages.reset();
  m_contacts.reset();
  m_calls.reset();
  m_notes.reset();
  m_whatsApp.reset();
  m_done = 0;
  m_finished = true;
}

}  // namespace fq

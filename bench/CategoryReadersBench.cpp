// The five category readers (live rows, carving, joins, contact names) on the
// databases of a generated heavy user's phone, beside the SQLite library's
// SELECT * of the same tables: the database part of a scan without the
// manifest, the media files and the report. BIG_MESSAGES sets the scale
// (default 25,000 messages).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/ScratchPath.h"
#include "engine/backup/WellKnownDatabases.h"
#include "engine/categories/CallHistoryReader.h"
#include "engine/categories/ContactsReader.h"
#include "engine/categories/MessagesReader.h"
#include "engine/categories/NotesReader.h"
#include "engine/categories/WhatsAppReader.h"
#include "engine/sqlite/ReadOnlyDatabase.h"
#include "tools/bigbackup/BigBackup.h"

namespace {

int64_t Messages() {
  const char* text = std::getenv("BIG_MESSAGES");
  return text ? std::atoll(text) : 25000;
}

const std::filesystem::path& Backup() {
  static const std::filesystem::path folder = [] {
    const auto f = fq::bench::ScratchPath("fernquill-readers-bench-");
    std::filesystem::remove_all(f);
    std::string error;
    fq::builder::BigBackupScale scale;
    scale.messages = Messages();
    if (!fq::builder::WriteBigBackup(f, scale, "", false, &error)) {
      std::fprintf(stderr, "cannot write the backup: %s\n", error.c_str());
      std::exit(2);
    }
    std::atexit([] { std::filesystem::remove_all(Backup()); });
    return f;
  }();
  return folder;
}

std::filesystem::path Stored(std::string_view id) {
  return Backup() / std::string(id.substr(0, 2)) / std::string(id);
}

void BM_CategoryReaders(benchmark::State& state) {
  const auto sms = Stored(fq::wellknown::kSms);
  const auto addressBook = Stored(fq::wellknown::kAddressBook);
  for (auto _ : state) {
    fq::ConversationMap conversations;
    std::vector<fq::ContactRecord> contacts;
    std::vector<fq::CallRecord> calls;
    std::vector<fq::NoteRecord> notes;
    fq::WhatsAppChatMap chats;
    int64_t highest = 0;
    fq::readMessages(sms, addressBook, true, fq::ProgressState{}, conversations, highest);
    fq::readContacts(addressBook, true, contacts, highest);
    fq::readCalls(Stored(fq::wellknown::kCallHistory), addressBook, true, calls);
    fq::readNotes(Stored(fq::wellknown::kNotes), notes);
    fq::readWhatsApp(Stored(fq::wellknown::kWhatsAppShared), chats);
    benchmark::DoNotOptimize(conversations.size() + contacts.size() + calls.size() + notes.size() +
                             chats.size());
  }
}
BENCHMARK(BM_CategoryReaders)->Unit(benchmark::kMillisecond);

// Every column of every live row of the same tables, read once as text.
void BM_LibrarySelectAll(benchmark::State& state) {
  const struct {
    std::string_view database;
    const char* tables[4];
  } kTables[] = {
      {fq::wellknown::kSms, {"message", "handle", "attachment", "message_attachment_join"}},
      {fq::wellknown::kAddressBook, {"ABPersonFullTextSearch_content", nullptr, nullptr, nullptr}},
      {fq::wellknown::kCallHistory, {"ZCALLRECORD", nullptr, nullptr, nullptr}},
      {fq::wellknown::kNotes, {"ZNOTE", "ZNOTEBODY", nullptr, nullptr}},
      {fq::wellknown::kWhatsAppShared, {"ZWAMESSAGE", "ZWACHATSESSION", "ZWAGROUPMEMBER", "ZWAMEDIAITEM"}},
  };
  for (auto _ : state) {
    size_t bytes = 0;
    for (const auto& database : kTables) {
      fq::ReadOnlyDatabase db(Stored(database.database));
      for (const char* table : database.tables) {
        if (table == nullptr) continue;
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db.handle(), ("SELECT * FROM " + std::string(table)).c_str(), -1, &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
          for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
            bytes += static_cast<size_t>(sqlite3_column_bytes(stmt, c));
          }
        }
        sqlite3_finalize(stmt);
      }
    }
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_LibrarySelectAll)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

#include "engine/categories/CallHistoryReader.h"

#include <sqlite3.h>

#include "engine/ResultCodes.h"
#include "engine/categories/ContactNames.h"
#include "engine/categories/DateOrder.h"
#include "engine/categories/OpenResult.h"
#include "engine/categories/TableDecoders.h"
#include "engine/sqlite/ReadOnlyDatabase.h"

namespace fq {
namespace {

// Numbers this short (service codes) would match nearly any phone text.
constexpr size_t kShortestNamedNumber = 5;

// The outcome of asking the library whether ZCALLRECORD can be read.
struct CallTableProbe {
  int32_t openError = kOk;
  bool newerTable = false;
};

CallTableProbe probeCallTable(const std::filesystem::path& historyPath) {
  CallTableProbe probe;
  ReadOnlyDatabase db(historyPath);
  if (!db.ok()) {
    probe.openError = db.openResult() != SQLITE_OK ? db.openResult() : kInvalid;
    return probe;
  }
  probe.newerTable = db.StepThrough("select * from ZCALLRECORD;") == SQLITE_OK;
  return probe;
}

}  // namespace

int32_t readCalls(const std::filesystem::path& historyPath, const std::filesystem::path& addressBookPath,
                  bool newerThan11, std::vector<CallRecord>& calls) {
  const CallTableProbe probe = probeCallTable(historyPath);
  if (probe.openError != kOk) return probe.openError;

  SqliteFileReader reader;
  reader.setNewerThan11(newerThan11);
  if (const int32_t open = reader.open(historyPath); open != kOk) return ReaderOpenResult(open);
  if (probe.newerTable) {
    DecodeCallRecordTable(reader, calls);
  } else {
    DecodeCallTable(reader, calls);
  }

  const int32_t result = ReaderOpenResult(reader.open(addressBookPath));
  if (result == kOk) {
    std::vector<ContactRecord> contacts;
    DecodeContactTable(reader, contacts);
    ContactNameLookup names(contacts);
    for (CallRecord& call : calls) {
      call.name.clear();
      if (call.number.size() >= kShortestNamedNumber) call.name = names.nameFor(call.number);
    }
  }
  // Sorting is the last step of a complete reading only.
  if (result == kOk) SortByDateText(calls);
  return result;
}

}  // namespace fq

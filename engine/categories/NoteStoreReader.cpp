#include "engine/categories/NoteStoreReader.h"

#include <map>
#include <optional>
#include <set>
#include <string>

#include "engine/ResultCodes.h"
#include "engine/categories/NoteStoreBody.h"
#include "engine/categories/NotesReader.h"
#include "engine/categories/OpenResult.h"
#include "engine/categories/SchemaColumns.h"
#include "engine/platform/Folders.h"
#include "engine/platform/Text.h"
#include "engine/sqlite/AppleTime.h"
#include "engine/sqlite/GenericRows.h"

namespace fq {
namespace {

const ColumnValue* ValueAt(const GenericRow& row, int32_t column) {
  const int64_t i = int64_t{column} - row.firstColumn;
  if (column < 0 || i < 0 || i >= static_cast<int64_t>(row.values.size())) return nullptr;
  return &row.values[static_cast<size_t>(i)];
}

std::optional<int64_t> IntegerAt(const GenericRow& row, int32_t column) {
  const ColumnValue* v = ValueAt(row, column);
  if (v == nullptr || v->kind != ColumnValue::Kind::Integer) return std::nullopt;
  return v->integer;
}

std::string TextAt(const GenericRow& row, int32_t column) {
  const ColumnValue* v = ValueAt(row, column);
  if (v == nullptr || v->kind != ColumnValue::Kind::Text) return {};
  return ToValidUtf8(v->bytes);
}

// Core Data keeps dates as floating-point seconds since 2001; integers are read too.
std::string DateAt(const GenericRow& row, int32_t column) {
  const ColumnValue* v = ValueAt(row, column);
  if (v == nullptr) return {};
  if (v->kind == ColumnValue::Kind::Real) return DateFromAppleSecondsReal(v->real);
  if (v->kind == ColumnValue::Kind::Integer) return DateFromAppleSeconds(v->integer);
  return {};
}

// The column named `preferred`, else `fallback` (the numbered names shift
// between model versions).
int32_t ColumnOf(const TableSchema& table, std::string_view preferred, std::string_view fallback = {}) {
  const int32_t at = SchemaColumnIndex(table, preferred);
  return at >= 0 || fallback.empty() ? at : SchemaColumnIndex(table, fallback);
}

// The entity number of ICNote rows from Z_PRIMARYKEY; none without that table.
std::optional<int64_t> NoteEntity(SqliteFileReader& reader, const std::vector<TableSchema>& tables) {
  const TableSchema* keys = FindTableSchema(tables, "Z_PRIMARYKEY");
  if (keys == nullptr) return std::nullopt;
  const int32_t ent = SchemaColumnIndex(*keys, "Z_ENT");
  const int32_t name = SchemaColumnIndex(*keys, "Z_NAME");
  std::optional<int64_t> found;
  ReadGenericRows(reader, *keys, [&](const GenericRow& row) {
    if (row.deleted == 0 && !found && TextAt(row, name) == "ICNote") found = IntegerAt(row, ent);
  });
  return found;
}

struct StoredBody {
  int32_t deleted = 0;
  int64_t rowId = 0;  // 0 when carved
  std::optional<int64_t> note;
  std::string text;
  bool claimed = false;
};

}  // namespace

int32_t readNoteStore(const std::filesystem::path& noteStorePath, std::vector<NoteRecord>& notes) {
  SqliteFileReader reader;
  if (const int32_t open = reader.open(noteStorePath); open != kOk) return ReaderOpenResult(open);
  const std::vector<TableSchema> tables = ListTables(reader);
  const TableSchema* objects = FindTableSchema(tables, "ZICCLOUDSYNCINGOBJECT");
  if (objects == nullptr) return kOk;

  std::vector<StoredBody> bodies;
  if (const TableSchema* data = FindTableSchema(tables, "ZICNOTEDATA")) {
    const int32_t pk = SchemaColumnIndex(*data, "Z_PK");
    const int32_t note = SchemaColumnIndex(*data, "ZNOTE");
    const int32_t zdata = SchemaColumnIndex(*data, "ZDATA");
    ReadGenericRows(reader, *data, [&](const GenericRow& row) {
      StoredBody body;
      body.deleted = row.deleted;
      body.rowId = row.deleted ? 0 : IntegerAt(row, pk).value_or(row.rowId);
      body.note = IntegerAt(row, note);
      if (const ColumnValue* v = ValueAt(row, zdata); v != nullptr && v->kind == ColumnValue::Kind::Blob) {
        const auto bytes = std::span(reinterpret_cast<const uint8_t*>(v->bytes.data()), v->bytes.size());
        body.text = NoteTextOfNoteData(bytes).value_or("");
      }
      bodies.push_back(std::move(body));
    });
  }

  const std::optional<int64_t> noteEntity = NoteEntity(reader, tables);
  const int32_t pk = SchemaColumnIndex(*objects, "Z_PK");
  const int32_t ent = SchemaColumnIndex(*objects, "Z_ENT");
  const int32_t noteData = SchemaColumnIndex(*objects, "ZNOTEDATA");
  const int32_t title = ColumnOf(*objects, "ZTITLE1", "ZTITLE");
  const int32_t date = ColumnOf(*objects, "ZMODIFICATIONDATE1", "ZMODIFICATIONDATE");
  const int32_t locked = SchemaColumnIndex(*objects, "ZISPASSWORDPROTECTED");
  const int32_t marked = SchemaColumnIndex(*objects, "ZMARKEDFORDELETION");
  if (noteData < 0) return kOk;

  // Body links of live notes: a row in free space linking the same body is
  // an earlier version of that note (the phone rewrites a note's row when it
  // changes), not a deleted note.
  std::set<int64_t> liveLinks;
  ReadGenericRows(reader, *objects, [&](const GenericRow& row) {
    const std::optional<int64_t> dataLink = IntegerAt(row, noteData);
    // Every note row links its body row; other entities share the table.
    if (!dataLink) return;
    if (noteEntity && IntegerAt(row, ent) != noteEntity) return;
    if (row.deleted == 0) {
      liveLinks.insert(*dataLink);
    } else if (liveLinks.contains(*dataLink)) {
      return;
    }
    NoteRecord record;
    record.deleted = row.deleted != 0 || IntegerAt(row, marked) == 1 ? 1 : 0;
    record.key = low32(*dataLink);
    record.date = DateAt(row, date);
    record.title = TextAt(row, title);
    const std::optional<int64_t> notePk = row.deleted ? std::nullopt : IntegerAt(row, pk);
    for (StoredBody& body : bodies) {
      if (body.claimed) continue;
      if ((body.rowId != 0 && body.rowId == *dataLink) || (notePk && body.note == notePk)) {
        body.claimed = true;
        // A locked note's data is encrypted: only its title is shown.
        if (IntegerAt(row, locked) != 1) record.body = body.text;
        break;
      }
    }
    if (record.title.empty() && record.body.empty()) return;
    notes.push_back(std::move(record));
  });
  // Bodies whose note row is gone.
  for (StoredBody& body : bodies) {
    if (body.claimed || body.text.empty()) continue;
    NoteRecord record;
    record.deleted = body.deleted;
    record.key = low32(body.rowId);
    record.body = std::move(body.text);
    notes.push_back(std::move(record));
  }
  return kOk;
}

int32_t readAllNotes(const std::filesystem::path& legacyPath, const std::filesystem::path& noteStorePath,
                     std::vector<NoteRecord>& notes) {
  const int32_t legacy = readNotes(legacyPath, notes);
  if (noteStorePath.empty() || !IsRegularFile(noteStorePath)) return legacy;
  const int32_t modern = readNoteStore(noteStorePath, notes);
  return legacy == kOk || modern == kOk ? kOk : legacy;
}

}  // namespace fq

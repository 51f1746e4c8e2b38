// Any bytes as an SQLite database: the reader, the carving and every decoder
// must end cleanly on them, never reading outside a buffer, never looping.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/categories/TableDecoders.h"
#include "engine/sqlite/GenericRows.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableSchema.h"

namespace {

template <typename Record>
void decode(int32_t (*decoder)(fq::SqliteFileReader&, std::vector<Record>&), std::span<const uint8_t> bytes) {
  fq::SqliteFileReader reader;
  if (reader.openMemory(bytes) != 0) return;
  std::vector<Record> records;
  decoder(reader, records);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  fq::SqliteFileReader reader;
  if (reader.openMemory(bytes) != 0) return 0;
  size_t rows = 0;
  for (const fq::TableSchema& schema : fq::ListTables(reader)) {
    fq::ReadGenericRows(reader, schema,
                        [&](const fq::GenericRow& row) { rows += row.values.empty() ? 0 : 1; });
  }
  // The decoders of the phone's tables; each finds its table by name, if any.
  decode(fq::DecodeMessageTable, bytes);
  decode(fq::DecodeHandleTable, bytes);
  decode(fq::DecodeAttachmentTable, bytes);
  decode(fq::DecodeAttachmentJoinTable, bytes);
  decode(fq::DecodeContactTable, bytes);
  decode(fq::DecodeCallRecordTable, bytes);
  decode(fq::DecodeCallTable, bytes);
  decode(fq::DecodeNoteBodyTable, bytes);
  decode(fq::DecodeNoteTable, bytes);
  decode(fq::DecodeWhatsAppMessageTable, bytes);
  decode(fq::DecodeWhatsAppChatTable, bytes);
  decode(fq::DecodeWhatsAppMemberTable, bytes);
  decode(fq::DecodeWhatsAppMediaTable, bytes);
  (void)rows;
  return 0;
}

#include "tools/backupbuilder/NoteStoreDatabase.h"

#include <zlib.h>

#include <cstdio>

namespace fq::builder {
namespace {

using Bytes = std::vector<uint8_t>;

void AppendVarint(Bytes& out, uint64_t v) {
  do {
    out.push_back(static_cast<uint8_t>((v & 0x7F) | (v > 0x7F ? 0x80 : 0)));
    v >>= 7;
  } while (v != 0);
}

// A length-delimited protobuf field.
Bytes Field(uint64_t number, const Bytes& value) {
  Bytes out;
  AppendVarint(out, number << 3 | 2);
  AppendVarint(out, value.size());
  out.insert(out.end(), value.begin(), value.end());
  return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Gzip(const Bytes& data) {
  z_stream s{};
  deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&s, data.size()) + 32);
  s.next_in = const_cast<Bytef*>(data.data());
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

std::string Hex(const Bytes& bytes) {
  std::string out = "X'";
  char digits[3];
  for (const uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    out += digits;
  }
  return out + "'";
}

std::string Quoted(const std::optional<std::string>& text) {
  if (!text) return "NULL";
  std::string out = "'";
  for (const char c : *text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

}  // namespace

std::vector<uint8_t> NoteStoreNoteData(std::string_view text) {
  // The note: its text (2) and its attribute runs (5); the document: version
  // (2 as varint field 1), the note (3).
  const Bytes note = Concat({Field(2, Bytes(text.begin(), text.end())), Field(5, Bytes{0x08, 0x01})});
  const Bytes document = Concat({Bytes{0x08, 0x00, 0x10, 0x00}, Field(3, note)});
  return Gzip(Concat({Bytes{0x08, 0x00}, Field(2, document)}));
}

SqliteRecipe NoteStoreDatabase(const std::vector<NoteStoreNote>& notes,
                               const std::vector<int64_t>& deletedRowIds, std::optional<PhoneSystem> system) {
  const NoteStoreLayout layout = NoteStoreLayoutOf(system);
  SqliteRecipe recipe;
  auto& s = recipe.statements;
  s.push_back(
      "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, Z_MAX "
      "INTEGER)");
  for (const NoteStoreEntity& e : layout.entities) {
    s.push_back("INSERT INTO Z_PRIMARYKEY VALUES (" + std::to_string(e.number) + ", '" + e.name + "', " +
                std::to_string(e.super) + ", 0)");
  }
  std::string create = "CREATE TABLE ZICCLOUDSYNCINGOBJECT ( ";
  for (size_t i = 0; i < layout.columns.size(); ++i) create += (i ? ", " : "") + layout.columns[i];
  s.push_back(create + " )");
  s.push_back(
      "CREATE TABLE ZICNOTEDATA ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZNOTE INTEGER, "
      "ZCRYPTOINITIALIZATIONVECTOR BLOB, ZCRYPTOTAG BLOB, ZDATA BLOB )");
  s.push_back("CREATE INDEX ZICCLOUDSYNCINGOBJECT_ZNOTEDATA_INDEX ON ZICCLOUDSYNCINGOBJECT (ZNOTEDATA)");
  const std::string account = std::to_string(layout.entity("ICAccount"));
  const std::string folder = std::to_string(layout.entity("ICFolder"));
  // An account and its folders: rows of the same table that are no notes,
  // written before the table grew its later columns.
  s.push_back(
      "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZACCOUNTTYPE, ZIDENTIFIER, ZNAME) VALUES (1, " +
      account + ", 3, 1, 'LocalAccount', 'On My iPhone')");
  s.push_back("INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZIDENTIFIER, ZTITLE2) VALUES (2, " +
              folder + ", 4, 'DefaultFolder-LocalAccount', 'Notes')");
  if (system) {
    s.push_back("INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZIDENTIFIER, ZTITLE2) VALUES (3, " +
                folder + ", 2, 'TrashFolder-LocalAccount', 'Recently Deleted')");
  }
  for (const std::string& column : layout.addedColumns) {
    s.push_back("ALTER TABLE ZICCLOUDSYNCINGOBJECT ADD COLUMN " + column);
  }
  const std::string note = std::to_string(layout.entity("ICNote"));
  const std::string noteData = std::to_string(layout.entity("ICNoteData"));
  const std::string accountLink = layout.noteAccountColumn.empty() ? "" : ", " + layout.noteAccountColumn;
  for (const NoteStoreNote& n : notes) {
    const std::string pk = std::to_string(n.rowId);
    const std::string dataPk = std::to_string(n.dataRowId);
    char date[40];
    std::snprintf(date, sizeof date, "%.6f", n.modifiedAppleSeconds);
    std::string snippet = "NULL";
    if (n.text && !n.locked) snippet = Quoted(n.text->substr(0, 20));
    // A note the user deleted sits in the trash folder where the phone has one.
    const char* inFolder = system && n.markedForDeletion ? "3" : "2";
    s.push_back(
        "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZCRYPTOITERATIONCOUNT, ZISPASSWORDPROTECTED, "
        "ZMARKEDFORDELETION, ZFOLDER, ZNOTEDATA, " +
        layout.creationDateColumn + ", ZMODIFICATIONDATE1, ZIDENTIFIER, ZSNIPPET, ZTITLE1, ZCRYPTOTAG" +
        accountLink + ") VALUES (" + pk + ", " + note + ", 7, " + (n.locked ? "20000" : "0") + ", " +
        (n.locked ? "1" : "0") + ", " + (n.markedForDeletion ? "1" : "0") + ", " + inFolder + ", " + dataPk +
        ", " + date + ", " + date + ", 'NOTE-" + pk + "', " + snippet + ", " + Quoted(n.title) + ", " +
        (n.locked ? "X'00112233445566778899AABBCCDDEEFF'" : "NULL") + (accountLink.empty() ? "" : ", 1") +
        ")");
    std::string data = "NULL";
    if (n.locked) {
      data = Hex(Bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xD1, 0x01, 0x02, 0x51, 0x41, 0x10, 0x01});
    } else if (n.text) {
      data = Hex(NoteStoreNoteData(*n.text));
    }
    s.push_back("INSERT INTO ZICNOTEDATA (Z_PK, Z_ENT, Z_OPT, ZNOTE, ZDATA) VALUES (" + dataPk + ", " +
                noteData + ", 1, " + pk + ", " + data + ")");
  }
  for (const int64_t id : deletedRowIds) {
    recipe.deletions.push_back("DELETE FROM ZICNOTEDATA WHERE ZNOTE = " + std::to_string(id));
    recipe.deletions.push_back("DELETE FROM ZICCLOUDSYNCINGOBJECT WHERE Z_PK = " + std::to_string(id));
  }
  return recipe;
}

}  // namespace fq::builder

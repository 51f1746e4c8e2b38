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

// Entity numbers of the iOS 17 model (Z_PRIMARYKEY).
constexpr int kNoteEntity = 11;
constexpr int kAccountEntity = 13;
constexpr int kFolderEntity = 14;

}  // namespace

std::vector<uint8_t> NoteStoreNoteData(std::string_view text) {
  // The note: its text (2) and its attribute runs (5); the document: version
  // (2 as varint field 1), the note (3).
  const Bytes note = Concat({Field(2, Bytes(text.begin(), text.end())), Field(5, Bytes{0x08, 0x01})});
  const Bytes document = Concat({Bytes{0x08, 0x00, 0x10, 0x00}, Field(3, note)});
  return Gzip(Concat({Bytes{0x08, 0x00}, Field(2, document)}));
}

SqliteRecipe NoteStoreDatabase(const std::vector<NoteStoreNote>& notes,
                               const std::vector<int64_t>& deletedRowIds) {
  SqliteRecipe recipe;
  auto& s = recipe.statements;
  s.push_back(
      "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, Z_MAX "
      "INTEGER)");
  s.push_back(
      "INSERT INTO Z_PRIMARYKEY VALUES (2, 'ICCloudSyncingObject', 0, 0), (11, 'ICNote', 2, 0), "
      "(13, 'ICAccount', 12, 0), (14, 'ICFolder', 12, 0), (18, 'ICNoteData', 0, 0)");
  // The columns of the real table that matter here, in their real order,
  // with neighbours between them so that no position is a coincidence.
  s.push_back(
      "CREATE TABLE ZICCLOUDSYNCINGOBJECT ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
      "ZCRYPTOITERATIONCOUNT INTEGER, ZISPASSWORDPROTECTED INTEGER, ZMARKEDFORDELETION INTEGER, "
      "ZNEEDSINITIALFETCHFROMCLOUD INTEGER, ZACCOUNTTYPE INTEGER, ZNOTE INTEGER, ZFOLDER INTEGER, "
      "ZNOTEDATA INTEGER, ZCREATIONDATE TIMESTAMP, ZMODIFICATIONDATE TIMESTAMP, ZCREATIONDATE1 TIMESTAMP, "
      "ZMODIFICATIONDATE1 TIMESTAMP, ZIDENTIFIER VARCHAR, ZTITLE VARCHAR, ZNAME VARCHAR, ZSNIPPET VARCHAR, "
      "ZTITLE1 VARCHAR, ZTITLE2 VARCHAR, ZCRYPTOTAG BLOB )");
  s.push_back(
      "CREATE TABLE ZICNOTEDATA ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZNOTE INTEGER, "
      "ZCRYPTOINITIALIZATIONVECTOR BLOB, ZCRYPTOTAG BLOB, ZDATA BLOB )");
  s.push_back("CREATE INDEX ZICCLOUDSYNCINGOBJECT_ZNOTEDATA_INDEX ON ZICCLOUDSYNCINGOBJECT (ZNOTEDATA)");
  // An account and a folder: rows of the same table that are no notes.
  s.push_back(
      "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZACCOUNTTYPE, ZIDENTIFIER, ZNAME) VALUES (1, " +
      std::to_string(kAccountEntity) + ", 3, 1, 'LocalAccount', 'On My iPhone')");
  s.push_back("INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZIDENTIFIER, ZTITLE2) VALUES (2, " +
              std::to_string(kFolderEntity) + ", 4, 'DefaultFolder-LocalAccount', 'Notes')");
  for (const NoteStoreNote& n : notes) {
    const std::string pk = std::to_string(n.rowId);
    const std::string dataPk = std::to_string(n.dataRowId);
    char date[40];
    std::snprintf(date, sizeof date, "%.6f", n.modifiedAppleSeconds);
    std::string snippet = "NULL";
    if (n.text && !n.locked) snippet = Quoted(n.text->substr(0, 20));
    s.push_back(
        "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZCRYPTOITERATIONCOUNT, ZISPASSWORDPROTECTED, "
        "ZMARKEDFORDELETION, ZFOLDER, ZNOTEDATA, ZCREATIONDATE1, ZMODIFICATIONDATE1, ZIDENTIFIER, ZSNIPPET, "
        "ZTITLE1, ZCRYPTOTAG) VALUES (" +
        pk + ", " + std::to_string(kNoteEntity) + ", 7, " + (n.locked ? "20000" : "0") + ", " +
        (n.locked ? "1" : "0") + ", " + (n.markedForDeletion ? "1" : "0") + ", 2, " + dataPk + ", " + date +
        ", " + date + ", 'NOTE-" + pk + "', " + snippet + ", " + Quoted(n.title) + ", " +
        (n.locked ? "X'00112233445566778899AABBCCDDEEFF'" : "NULL") + ")");
    std::string data = "NULL";
    if (n.locked) {
      data = Hex(Bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xD1, 0x01, 0x02, 0x51, 0x41, 0x10, 0x01});
    } else if (n.text) {
      data = Hex(NoteStoreNoteData(*n.text));
    }
    s.push_back("INSERT INTO ZICNOTEDATA (Z_PK, Z_ENT, Z_OPT, ZNOTE, ZDATA) VALUES (" + dataPk + ", 18, 1, " +
                pk + ", " + data + ")");
  }
  for (const int64_t id : deletedRowIds) {
    recipe.deletions.push_back("DELETE FROM ZICNOTEDATA WHERE ZNOTE = " + std::to_string(id));
    recipe.deletions.push_back("DELETE FROM ZICCLOUDSYNCINGOBJECT WHERE Z_PK = " + std::to_string(id));
  }
  return recipe;
}

}  // namespace fq::builder

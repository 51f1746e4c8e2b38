// Decoders of the call history: ZCALLRECORD of newer systems and call of
// older ones.
#include <cmath>
#include <string_view>

#include "engine/categories/TableDecoders.h"
#include "engine/sqlite/AppleTime.h"
#include "engine/sqlite/KnownTableDecoder.h"

namespace fq {

namespace {

class CallDecoderBase : public KnownTableDecoder {
 public:
  CallDecoderBase(std::string table, std::vector<CallRecord>& out)
      : KnownTableDecoder(std::move(table)), m_out(out) {}

 protected:
  // The number: text, or (newer systems) a blob holding its UTF-8 bytes.
  // False rejects the row (text that is not clean UTF-8).
  static bool readNumber(const RowColumn* column, std::string& out) {
    if (column != nullptr && column->serialType >= 12 && column->serialType % 2 == 0) {
      const std::string_view bytes(reinterpret_cast<const char*>(column->bytes.data()), column->bytes.size());
      out.clear();
      if (IsAcceptedText(bytes) && !hasControlCharacter(bytes)) out.assign(bytes);
      return true;
    }
    return readText(column, out);
  }
  void append(CallRecord&& call) {
    if (!call.number.empty() && !call.date.empty()) m_out.push_back(std::move(call));
  }

 private:
  std::vector<CallRecord>& m_out;
};

class CallRecordDecoder final : public CallDecoderBase {
 public:
  explicit CallRecordDecoder(std::vector<CallRecord>& out) : CallDecoderBase("ZCALLRECORD", out) {}
  void mapColumns() override {
    m_originated = columnIndex("ZORIGINATED", 10);
    m_date = columnIndex("ZDATE", 12);
    m_duration = columnIndex("ZDURATION", 13);
    m_address = columnIndex("ZADDRESS", -1);
    m_uniqueId = identityColumn();
  }
  void visit(SqliteFileReader& reader, const TableRow& row) override {
    if (isEarlierVersion(row, m_uniqueId)) return;
    CallRecord call;
    call.deleted = row.deleted;
    if (isConstant(row.column(m_originated), 0)) call.incoming = 1;
    if (const auto real = columnReal(row.column(m_date))) {
      call.date = DateFromAppleSecondsReal(*real);
    } else if (const auto seconds = columnInteger(row.column(m_date))) {
      call.date = DateFromAppleSeconds(*seconds);
    }
    if (const auto real = columnReal(row.column(m_duration))) {
      if (std::isfinite(*real) && std::fabs(*real) < 2e9)
        call.duration = static_cast<int32_t>(std::trunc(*real));
    } else if (const auto seconds = columnInteger(row.column(m_duration))) {
      call.duration = low32(*seconds);
    }
    // Without a readable declaration the number sits where the system version puts it.
    const int32_t address = schema().columnCount > 0 ? m_address : (reader.newerThan11() ? 21 : 20);
    if (!readNumber(row.column(address), call.number)) return;
    append(std::move(call));
  }

 private:
  int32_t m_originated = 10;
  int32_t m_date = 12;
  int32_t m_duration = 13;
  int32_t m_address = -1;
  int32_t m_uniqueId = -1;
};

class CallDecoder final : public CallDecoderBase {
 public:
  explicit CallDecoder(std::vector<CallRecord>& out) : CallDecoderBase("call", out) {}
  void mapColumns() override {
    m_flags = columnIndex("flags", 10);
    m_date = columnIndex("date", 12);
    m_duration = columnIndex("duration", 13);
    m_address = columnIndex("address", 20);
  }
  void visit(SqliteFileReader&, const TableRow& row) override {
    CallRecord call;
    call.deleted = row.deleted;
    // Bit 0 of the flags marks a call placed from the phone.
    if (const auto flags = columnInteger(row.column(m_flags)); flags && (*flags & 1) == 0) call.incoming = 1;
    if (const auto seconds = columnInteger(row.column(m_date))) call.date = DateFromUnixSeconds(*seconds);
    if (const auto seconds = columnInteger(row.column(m_duration))) call.duration = low32(*seconds);
    if (!readText(row.column(m_address), call.number) || hasControlCharacter(call.number)) return;
    append(std::move(call));
  }

 private:
  int32_t m_flags = 10;
  int32_t m_date = 12;
  int32_t m_duration = 13;
  int32_t m_address = 20;
};

}  // namespace

int32_t DecodeCallRecordTable(SqliteFileReader& reader, std::vector<CallRecord>& out) {
  reader.setCallTableKind(1);
  return RunDecoder<CallRecordDecoder>(reader, out);
}
int32_t DecodeCallTable(SqliteFileReader& reader, std::vector<CallRecord>& out) {
  reader.setCallTableKind(0);
  return RunDecoder<CallDecoder>(reader, out);
}

}  // namespace fq

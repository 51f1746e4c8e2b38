// Decoders of the call history: ZCALLRECORD of newer systems and call of
// older ones.
#include <cmath>

#include "engine/sqlite/AppleTime.h"
#include "engine/sqlite/KnownTableDecoder.h"
#include "engine/categories/TableDecoders.h"

namespace fq {

namespace {

class CallDecoderBase : public KnownTableDecoder {
 public:
  CallDecoderBase(std::string table, std::vector<CallRecord>& out)
      : KnownTableDecoder(std::move(table)), m_out(out) {}

  // A carved call takes the header length of the last intact call row as its
  // type count.
  CarvedLayout carvedLayout(const SqliteFileReader& reader) override {
    return CarvedLayout{reader.callHeaderSerialBytes(), false};
  }

 protected:
  void keepHeader(SqliteFileReader& reader, const TableRow& row) {
    if (!row.carved) reader.setCallHeaderSerialBytes(static_cast<int32_t>(row.headerSize) - 1);
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
  void visit(SqliteFileReader& reader, const TableRow& row) override {
    keepHeader(reader, row);
    CallRecord call;
    call.deleted = row.deleted;
    if (isConstant(row.column(10), 0)) call.incoming = 1;
    if (const auto real = columnReal(row.column(12))) {
      call.date = DateFromAppleSecondsReal(*real);
    } else if (const auto seconds = columnInteger(row.column(12))) {
      call.date = DateFromAppleSeconds(*seconds);
    }
    if (const auto real = columnReal(row.column(13))) {
      if (std::isfinite(*real) && std::fabs(*real) < 2e9)
        call.duration = static_cast<int32_t>(std::trunc(*real));
    } else if (const auto seconds = columnInteger(row.column(13))) {
      call.duration = low32(*seconds);
    }
    if (!readText(row.column(reader.newerThan11() ? 21 : 20), call.number)) return;
    append(std::move(call));
  }
};

class CallDecoder final : public CallDecoderBase {
 public:
  explicit CallDecoder(std::vector<CallRecord>& out) : CallDecoderBase("call", out) {}
  void visit(SqliteFileReader& reader, const TableRow& row) override {
    keepHeader(reader, row);
    CallRecord call;
    call.deleted = row.deleted;
    if (isConstant(row.column(10), 0)) call.incoming = 1;
    if (const auto seconds = columnInteger(row.column(12))) call.date = DateFromUnixSeconds(*seconds);
    if (const auto seconds = columnInteger(row.column(13))) call.duration = low32(*seconds);
    if (!readText(row.column(20), call.number) || hasControlCharacter(call.number)) return;
    append(std::move(call));
  }
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

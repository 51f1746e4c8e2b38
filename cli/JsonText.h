#pragma once
// JSON text written piece by piece, for reports too large to hold as one
// document: string literals with escapes, and a record writer that appends
// "key": value pairs of one flat object to an output buffer.
#include <cstdint>
#include <string>
#include <string_view>

namespace fq::cli {

// Appends `text` as a JSON string literal. Bytes that are not well-formed UTF-8
// become U+FFFD, so damaged names never break the document.
void AppendJsonString(std::string& out, std::string_view text);

// One flat JSON object, written as its fields are added: {"a": 1, "b": "x"}.
class JsonRecord {
 public:
  explicit JsonRecord(std::string& out) : m_out(out) { m_out.push_back('{'); }
  ~JsonRecord() { m_out.push_back('}'); }
  JsonRecord(const JsonRecord&) = delete;
  JsonRecord& operator=(const JsonRecord&) = delete;

  JsonRecord& field(std::string_view key, std::string_view text);
  JsonRecord& field(std::string_view key, int64_t number);

 private:
  void key(std::string_view name);
  std::string& m_out;
  bool m_first = true;
};

}  // namespace fq::cli

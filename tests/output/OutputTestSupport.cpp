#include "tests/output/OutputTestSupport.h"

#include <libxml/HTMLparser.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "engine/ResultCodes.h"
#include "engine/media/FileCopy.h"

namespace fq::test {

ScratchFolder::ScratchFolder() {
  std::string templ = (fs::temp_directory_path() / "fq-output-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  m_path = templ;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(m_path, ec);
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> ListTree(const fs::path& root) {
  std::set<std::string> entries;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    entries.insert(fs::relative(e.path(), root).generic_string());
  }
  return entries;
}

namespace {

void CollectError(void* userData, xmlErrorPtr error) {
  auto* errors = static_cast<std::vector<std::string>*>(userData);
  if (error && error->level >= XML_ERR_ERROR) {
    errors->push_back("line " + std::to_string(error->line) + ": " + (error->message ? error->message : "?"));
  }
}

}  // namespace

std::vector<std::string> HtmlParseErrors(const std::string& html) {
  std::vector<std::string> errors;
  std::unique_ptr<htmlParserCtxt, void (*)(htmlParserCtxtPtr)> ctxt(htmlNewParserCtxt(), htmlFreeParserCtxt);
  if (!ctxt) return {"no parser"};
  xmlSetStructuredErrorFunc(&errors, CollectError);
  htmlDocPtr doc = htmlCtxtReadMemory(ctxt.get(), html.data(), static_cast<int>(html.size()), "page.html",
                                      "UTF-8", HTML_PARSE_NONET);
  xmlSetStructuredErrorFunc(nullptr, nullptr);
  if (!doc) errors.push_back("no document");
  xmlFreeDoc(doc);
  return errors;
}

int32_t FakeRecoverySession::CopyOut(const fs::path& source, const fs::path& destination,
                                     const CopyProgressCallback& callback) {
  // The engine's own copy, so that write failures reach the job as they would.
  ++copies;
  return fq::CopyOut(source, destination, callback);
}

int32_t FakeRecoverySession::ExportMessagesCsv(const fs::path& destination) {
  ++messagesExports;
  std::ofstream out(destination, std::ios::binary | std::ios::app);
  out << kMessagesExportLine;
  return 0;
}

int32_t FakeRecoverySession::ExportContactsCsv(const fs::path& destination) {
  ++contactsExports;
  std::ofstream out(destination, std::ios::binary | std::ios::app);
  out << kContactsExportLine;
  return 0;
}

}  // namespace fq::test

#pragma once
// Shared pieces of the output tests: a scratch folder, file helpers, a fake
// recovery session whose CopyOut really copies, and the libxml2 page check.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/session/IPhoneRecoveryParse.h"
#include "tests/support/PageLinks.h"

namespace fq::test {

namespace fs = std::filesystem;

// A fresh folder under the temp dir, removed at the end of the test.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const fs::path& path() const { return m_path; }

 private:
  fs::path m_path;
};

std::string ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, std::string_view bytes);

// Every file and folder under `root`, as paths relative to it with "/".
std::set<std::string> ListTree(const fs::path& root);

// Errors libxml2's HTML parser reports for `html`, one text per error.
std::vector<std::string> HtmlParseErrors(const std::string& html);

// A recovery session for tests: CopyOut copies in 64 KiB pieces with the copy
// progress protocol, the two exports append one known line.
class FakeRecoverySession : public IPhoneRecoveryParse {
 public:
  static constexpr std::string_view kMessagesExportLine = "1,hello,+15550001\r\n";
  static constexpr std::string_view kContactsExportLine = "1,Ann,Lee\r\n";

  int32_t Attach(BackupStore*) override { return 0; }
  int32_t SetProgressCallback(ProgressCallback) override { return 0; }
  bool Reserved3(void*) override { return true; }
  int32_t Open(const std::string&) override { return 0; }
  int32_t ScanMessages(ConversationMap&) override { return 0; }
  int32_t ScanMessageAttachments(std::vector<AttachmentFileRecord>&) override { return 0; }
  int32_t ScanContacts(std::vector<ContactRecord>&) override { return 0; }
  int32_t ScanNotes(std::vector<NoteRecord>&) override { return 0; }
  int32_t ScanCallHistory(std::vector<CallRecord>&) override { return 0; }
  int32_t ScanPhotos(std::vector<MediaFileRecord>&, std::vector<MediaFileRecord>&) override { return 0; }
  int32_t ScanWhatsAppAttachments(std::vector<MediaFileRecord>&) override { return 0; }
  int32_t ScanAppFiles(std::vector<AppFileRecord>&) override { return 0; }
  int32_t ScanWhatsApp(WhatsAppChatMap&) override { return 0; }
  int32_t ExtractPreview(const fs::path&, fs::path&, const ProgressCallback&) override { return 0; }
  int32_t CopyOut(const fs::path& source, const fs::path& destination,
                  const CopyProgressCallback& callback) override;
  int32_t ExportMessagesCsv(const fs::path& destination) override;
  int32_t ExportContactsCsv(const fs::path& destination) override;

  int copies = 0;
  int messagesExports = 0;
  int contactsExports = 0;
};

}  // namespace fq::test

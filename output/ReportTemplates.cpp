#include "output/ReportTemplates.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "engine/ResultCodes.h"
#include "output/HtmlEscape.h"

namespace fq {
namespace {

// A template is a small page; anything bigger is not one of ours.
constexpr size_t kMaxTemplateBytes = 8u << 20;

}  // namespace

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
  if (from.empty()) return text;
  for (size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size())) {
    text.replace(pos, from.size(), to);
  }
  return text;
}

bool SplitTemplate(std::string_view text, std::string_view title, ReportTemplate& out) {
  const size_t split = text.find(kContentPlaceholder);
  if (split == std::string_view::npos) return false;
  out.head = ReplaceAll(std::string(text.substr(0, split)), kTitlePlaceholder, HtmlEscape(title));
  out.tail = std::string(text.substr(split + kContentPlaceholder.size()));
  return true;
}

std::string FillPersonLine(std::string_view head, std::string_view name, std::string_view phone) {
  const std::string line = "Name: " + std::string(name) + ", Phone: " + std::string(phone);
  return ReplaceAll(std::string(head), kPersonPlaceholder, HtmlEscape(line));
}

int32_t ReadTemplateFile(const std::filesystem::path& path, std::string& text) {
  text.clear();
  // Only a regular file: a pipe or device in its place would block or never end.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return ec ? ec.value() : EINVAL;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return errno ? errno : ENOENT;
  char buf[16384];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, file.get())) > 0) {
    if (n > kMaxTemplateBytes - text.size()) return EFBIG;
    text.append(buf, n);
  }
  return std::ferror(file.get()) ? EIO : 0;
}

int32_t LoadReportTemplates(const std::filesystem::path& folder, std::string_view sourceName,
                            ReportTemplates& out, std::string* failedFile) {
  struct Source {
    const char* file;
    const char* titlePrefix;
    ReportTemplate* target;
  };
  const Source sources[] = {
      {"CallHistory.html", "iPhone's Call History of ", &out.callHistory},
      {"Notes.html", "iPhone's Notes of ", &out.notes},
      {"contacts.html", "iPhone's Contacts of ", &out.contacts},
      {"Sms.html", "iPhone's Messages of ", &out.sms},
      {"WhatsApp.html", "iPhone's WhatsApp Messages of ", &out.whatsApp},
  };
  for (const auto& s : sources) {
    std::string text;
    int32_t rc = ReadTemplateFile(folder / s.file, text);
    if (rc == 0 && !SplitTemplate(text, std::string(s.titlePrefix) + std::string(sourceName), *s.target)) {
      rc = kInvalid;
    }
    if (rc != 0) {
      if (failedFile) *failedFile = (folder / s.file).string();
      return rc;
    }
  }
  return 0;
}

}  // namespace fq

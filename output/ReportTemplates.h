#pragma once
// The report templates of the "template" folder beside the program, split at
// "{|content|}" into head and tail, with "{|title|}" filled in the head.
// Templates are UTF-8 and stay raw; only inserted texts are escaped.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace fq {

inline constexpr std::string_view kTitlePlaceholder = "{|title|}";
inline constexpr std::string_view kContentPlaceholder = "{|content|}";
inline constexpr std::string_view kPersonPlaceholder = "{|person|}";

struct ReportTemplate {
  std::string head;  // title filled in
  std::string tail;
};

struct ReportTemplates {
  ReportTemplate callHistory;  // "CallHistory.html"
  ReportTemplate notes;        // "Notes.html"
  ReportTemplate contacts;     // "contacts.html"
  ReportTemplate sms;          // "Sms.html", head still holds "{|person|}"
  ReportTemplate whatsApp;     // "WhatsApp.html", head still holds "{|person|}"
};

// Every occurrence of `from` replaced by `to`.
std::string ReplaceAll(std::string text, std::string_view from, std::string_view to);

// Splits at the first "{|content|}" and replaces every "{|title|}" of the head by
// the escaped title. False when the text has no "{|content|}".
bool SplitTemplate(std::string_view text, std::string_view title, ReportTemplate& out);

// The head with every "{|person|}" replaced by "Name: " name ", Phone: " phone, escaped.
std::string FillPersonLine(std::string_view head, std::string_view name, std::string_view phone);

// Loads the five templates from `folder` (usually ProgramFolder()/"template"),
// titled with their prefix and the source name (the device or backup name).
// 0, or the errno of a template that cannot be read, or kInvalid for one
// without "{|content|}"; `failedFile` then names it.
int32_t LoadReportTemplates(const std::filesystem::path& folder, std::string_view sourceName,
                            ReportTemplates& out, std::string* failedFile = nullptr);

// Reads a whole template file (at most a few MiB); 0 or errno.
int32_t ReadTemplateFile(const std::filesystem::path& path, std::string& text);

}  // namespace fq

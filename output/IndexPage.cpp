#include "output/IndexPage.h"

#include "output/HtmlEscape.h"

namespace fq {
namespace {

constexpr const char* kStyle =
    R"(body{font-family:system-ui,sans-serif;margin:1.5em;color:#222;max-width:60em}
h1{font-size:1.4em}h2{font-size:1.1em;margin-top:1.6em}
table{border-collapse:collapse;width:100%}th,td{border:1px solid #ccc;padding:.3em .5em;text-align:left}
th{background:#f2f2f2}td.n{text-align:right}.warn{color:#b00020}.del{color:#F37302}
dl{display:grid;grid-template-columns:max-content 1fr;gap:.2em 1em}dt{font-weight:bold}
ul{padding-left:1.2em}.wrap{overflow-x:auto}p.note{font-size:.9em;color:#555}li{margin:.15em 0;word-break:break-all}
@media (max-width:600px){body{margin:.6em}th,td{padding:.2em}})";

void Row(std::string& out, std::string_view label, std::string_view value) {
  out += "<dt>" + HtmlEscape(label) + "</dt><dd>" +
         HtmlEscape(value.empty() ? std::string_view("-") : value) + "</dd>\n";
}

bool Unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.' || c == '~' || c == '(' || c == ')';
}

}  // namespace

std::string RelativeHref(const std::filesystem::path& relative) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string href;
  for (const auto& part : relative) {
    if (!href.empty()) href += '/';
    for (const char ch : part.string()) {
      const auto c = static_cast<unsigned char>(ch);
      if (Unreserved(c)) {
        href += ch;
      } else {
        href += '%';
        href += kHex[c >> 4];
        href += kHex[c & 15];
      }
    }
  }
  return href;
}

std::string BuildIndexPage(const IndexPageInput& in) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  page += HtmlEscape("Recovered from " + in.source.deviceName);
  page += "</title>\n<style>";
  page += kStyle;
  page += "</style>\n</head>\n<body>\n<h1>" + HtmlEscape("Recovered from " + in.source.deviceName) +
          "</h1>\n<dl>\n";
  Row(page, "Source",
      in.source.device ? "a fresh backup of the connected device" : "a backup on this computer");
  Row(page, "Device", in.source.deviceName);
  Row(page, "Serial number", in.source.serialNumber);
  if (!in.source.device) Row(page, "Last backup", in.source.backupDate);
  Row(page, "Encrypted", in.source.encrypted ? "yes" : "no");
  Row(page, "Written", in.writtenAt);
  Row(page, "Written by", in.source.program);
  page +=
      "</dl>\n<h2>Categories</h2>\n<div class=\"wrap\"><table>\n<tr><th>Category</th><th>Live</th>"
      "<th>Deleted</th><th>Written</th><th>Failed</th><th>Database</th></tr>\n";
  for (const auto& c : in.categories) {
    const bool read = c.status.state == CategoryState::Read;
    page += "<tr><td>" + HtmlEscape(CategoryName(c.kind)) + "</td><td class=\"n\">" + std::to_string(c.live) +
            "</td><td class=\"n\">" + std::to_string(c.deleted) + "</td><td class=\"n\">" +
            std::to_string(c.written) + "</td><td class=\"n" + (c.failed ? " warn" : "") + "\">" +
            std::to_string(c.failed) + "</td><td" + (read ? "" : " class=\"warn\"") + ">" +
            HtmlEscape(CategoryStateName(c.status.state)) +
            (read ? std::string() : ": " + HtmlEscape(c.status.reason)) + "</td></tr>\n";
  }
  page +=
      "</table></div>\n<p class=\"note\">Live and deleted count what the scan found; written and failed "
      "count the items of this run: a file, a contact, a call, a note, or a whole conversation or "
      "chat.</p>\n";
  if (!in.failures.empty()) {
    page += "<h2 class=\"warn\">Not written (" + std::to_string(in.failures.size()) + ")</h2>\n<ul>\n";
    for (const auto& f : in.failures) {
      page += "<li>" + HtmlEscape(f.path.string()) + ": " + HtmlEscape(f.reason) + "</li>\n";
    }
    page += "</ul>\n";
  }
  page += "<h2>What was written</h2>\n<ul>\n";
  for (const auto& link : in.links) {
    page += "<li><a href=\"" + RelativeHref(link) + "\">" + HtmlEscape(link.string()) + "</a></li>\n";
  }
  if (in.links.empty()) page += "<li>Nothing.</li>\n";
  page += "</ul>\n</body>\n</html>\n";
  return page;
}

}  // namespace fq

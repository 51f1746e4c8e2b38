#pragma once
// The raw comma-separated dumps of a table (sms.csv, Contacts.csv): one line
// per row, fields in column order, ending with CR LF. Texts are quoted with
// every double and single quote doubled.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fq {

// Appends `bytes` between double quotes, doubling every double and single quote.
void AppendQuotedField(std::string& line, std::span<const uint8_t> bytes);
// Appends two lowercase hexadecimal digits per byte.
void AppendHexField(std::string& line, std::span<const uint8_t> bytes);

// The fields of one row joined by commas and ended by CR LF.
std::string JoinDumpLine(const std::vector<std::string>& fields);

// Appends `lines` to the file at `path` (created when missing): 0 or errno.
int32_t AppendDumpLines(const std::filesystem::path& path, const std::vector<std::string>& lines);

}  // namespace fq

#pragma once
// The status text of one result row: "Success" or the system's text for an
// error number.
#include <cstdint>
#include <string>

namespace fq {

// "Success" for 0, else the system's text for the errno.
std::string ResultText(int32_t code);

// As ResultText, for the codes a file copy reports: the copy's own codes 87
// (a file that cannot be opened) and 30 (a short read) are not errno values
// there and get their own texts.
std::string CopyResultText(int32_t code);

}  // namespace fq

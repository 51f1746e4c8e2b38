#pragma once
// The plain text of a message's attributedBody: a typedstream archive of an
// attributed string, the only place the text lives in many rows written since
// iOS 16 (their text column is NULL). Damaged or hostile bytes give an empty text.
#include <cstdint>
#include <span>
#include <string>

#include "engine/sqlite/TableRow.h"

namespace fq {

// The string of the archive's NSString (or NSMutableString) object as UTF-8;
// empty when the header, the class or the length prefix is not as expected,
// the length runs past the blob, or the bytes are not clean UTF-8.
std::string TextOfAttributedBody(std::span<const uint8_t> blob);

// The same for a row's column; empty when the column is missing or no blob.
std::string TextOfAttributedBodyColumn(const RowColumn* column);

}  // namespace fq

#pragma once
// The result a reader gives for a database it cannot open. A missing file is
// errno 2 (ENOENT), the very code that means "the user cancelled" to the scan
// sequence; a reader reports it as the generic failure instead, so a backup
// without one database still has its other categories scanned.
#include <cstdint>

#include "engine/ResultCodes.h"

namespace fq {

inline int32_t ReaderOpenResult(int32_t openError) { return openError == kCancelled ? kInvalid : openError; }

}  // namespace fq

#pragma once
// The error numbers the device understands in DeviceLink replies.
#include <cstdint>

namespace fq {

// C library error number → device code: ENOENT → -6, EEXIST → -7, n → -n.
int32_t DeviceErrorCode(int error);

// Error number of a failed file deletion, as the file-deletion call of the
// original platform reported it: a missing file keeps ENOENT, a missing
// folder on the way (or a non-folder in its place) and every other failure
// become EFAULT, an existing target EEXIST.
int DeleteFailureErrno(int error, bool parentExists);

}  // namespace fq

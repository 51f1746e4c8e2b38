#include "engine/backup/DecryptToolRunner.h"

#include "engine/ResultCodes.h"

namespace fq {

// The decrypt tool is not part of this build yet: report honestly that it
// could not be started.
int32_t RunDecryptTool(const DecryptToolRequest&) { return kInvalid; }

}  // namespace fq

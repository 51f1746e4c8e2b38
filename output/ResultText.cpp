#include "output/ResultText.h"

#include <system_error>

#include "engine/ResultCodes.h"

namespace fq {

std::string ResultText(int32_t code) {
  if (code == 0) return "Success";
  return std::generic_category().message(code);
}

std::string CopyResultText(int32_t code) {
  if (code == kInvalid) return "The file in the backup or the output file cannot be opened";
  if (code == kShortRead) return "The file in the backup is shorter than its size";
  return ResultText(code);
}

}  // namespace fq

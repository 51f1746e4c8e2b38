#include "engine/format/ExtensionOfName.h"

#include "engine/ResultCodes.h"

namespace fq {

int32_t ExtensionOfName(std::string_view name, std::string& extension) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return kInvalid;
  if (name.size() - dot >= 32) return kInvalid;
  extension.assign(name.substr(dot + 1));
  return kOk;
}

}  // namespace fq

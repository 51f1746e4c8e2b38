#include "cli/TerminalText.h"

#include "engine/platform/Text.h"

namespace fq::cli {

std::string TerminalText(std::string_view text) {
  std::string shown = ToValidUtf8(text);
  for (char& c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return shown;
}

}  // namespace fq::cli

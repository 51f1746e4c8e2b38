#include "device/DevicePath.h"

#include <system_error>

namespace fq {

namespace {

// True when `candidate` lies strictly below `root` (both normalised); the
// root itself is not a name the device may act on.
bool IsWithin(const std::filesystem::path& root, const std::filesystem::path& candidate) {
  auto r = root.begin();
  auto c = candidate.begin();
  for (; r != root.end(); ++r, ++c) {
    if (r->empty()) continue;  // a trailing separator of the root
    if (c == candidate.end() || *r != *c) return false;
  }
  for (; c != candidate.end(); ++c) {
    if (!c->empty()) return true;
  }
  return false;
}

}  // namespace

std::optional<std::filesystem::path> ResolveDevicePath(const std::filesystem::path& root,
                                                       std::string_view name) {
  if (name.empty() || name.find('\0') != std::string_view::npos) return std::nullopt;
  const std::filesystem::path relative{std::string(name)};
  if (relative.is_absolute() || relative.has_root_name() || relative.has_root_directory()) {
    return std::nullopt;
  }
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::weakly_canonical(root, ec);
  if (ec) return std::nullopt;
  // Lexical check first: ".." may not climb above the root even through
  // folders that do not exist yet.
  const std::filesystem::path lexical = (base / relative).lexically_normal();
  if (!IsWithin(base, lexical)) return std::nullopt;
  // Then the real one: existing parts are resolved, symbolic links included.
  const std::filesystem::path real = std::filesystem::weakly_canonical(lexical, ec);
  if (ec || !IsWithin(base, real)) return std::nullopt;
  return lexical;
}

}  // namespace fq

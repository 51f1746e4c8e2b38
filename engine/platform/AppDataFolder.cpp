#include "engine/platform/AppDataFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace fq {
namespace {

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  if (size <= 0) size = 16384;
  std::vector<char> buffer(static_cast<size_t>(size));
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return {};
}

}  // namespace

std::filesystem::path RoamingAppDataFolder() {
  // A relative XDG_DATA_HOME is invalid by the base-directory rules and is ignored.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') return xdg;
  const auto home = HomeFolder();
  if (home.empty()) return {};
  return home / ".local" / "share";
}

}  // namespace fq

#include "tests/support/TempFolder.h"

#include <stdlib.h>

#include <system_error>

namespace fq::testsupport {

TempFolder::TempFolder(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (mkdtemp(pattern.data())) m_path = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
}

}  // namespace fq::testsupport

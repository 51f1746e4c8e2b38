#pragma once
// A fresh folder under the system's temporary folder, removed with its
// content when the object goes away.
#include <filesystem>
#include <string>

namespace fq::testsupport {

class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "fq-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

}  // namespace fq::testsupport

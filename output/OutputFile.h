#pragma once
// A file the recovery writes, created anew (replacing a file of that name but
// never following a link in its place), with errno results. A file whose
// writing failed is removed when it is closed: no partial file passes for a
// recovered one.
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace fq {

// Creates `folder` and every missing parent; 0 or the errno of the failure.
int32_t CreateOutputFolder(const std::filesystem::path& folder);

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Creates or empties the file; 0 or errno (ELOOP when a link stands there).
  int32_t Open(const std::filesystem::path& path);
  // Writes all of `bytes`; 0 or errno. The first failure sticks.
  int32_t Write(std::string_view bytes);
  // Closes the file; 0, or the first errno of a write or of the close.
  int32_t Close();

 private:
  int m_fd = -1;
  int32_t m_error = 0;
  std::filesystem::path m_path;
};

// Open, write `bytes`, close: 0 or the first errno.
int32_t WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace fq

#include "tests/support/FolderSnapshot.h"

#include <openssl/evp.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <vector>

namespace fq::testsupport {

std::string Sha256OfFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr);
  std::vector<char> buffer(1 << 16);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    EVP_DigestUpdate(ctx.get(), buffer.data(), static_cast<size_t>(in.gcount()));
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(ctx.get(), digest, &length);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 0xF]);
  }
  return hex;
}

FolderSnapshot SnapshotFolder(const std::filesystem::path& folder) {
  FolderSnapshot snapshot;
  for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
    struct stat st {};
    if (::lstat(item.path().c_str(), &st) != 0) continue;
    SnapshotEntry entry;
    entry.kind = S_ISREG(st.st_mode) ? "file" : S_ISDIR(st.st_mode) ? "folder" : "other";
    entry.size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    entry.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (S_ISREG(st.st_mode)) entry.sha256 = Sha256OfFile(item.path());
    snapshot[std::filesystem::relative(item.path(), folder).string()] = entry;
  }
  return snapshot;
}

}  // namespace fq::testsupport

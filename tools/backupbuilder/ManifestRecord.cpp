#include "tools/backupbuilder/ManifestRecord.h"

#include "engine/backup/FileId.h"

namespace fq::builder {

std::string ManifestRecord::key() const {
  std::string k = domain.value_or("");
  if (relativePath) k += "-" + *relativePath;
  return k;
}

std::string ManifestRecord::fileId() const { return fileIdOverride ? *fileIdOverride : FileIdOf(key()); }

}  // namespace fq::builder

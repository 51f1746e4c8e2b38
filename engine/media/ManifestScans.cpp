#include "engine/media/ManifestScans.h"

#include <algorithm>
#include <string>

#include "engine/ResultCodes.h"
#include "engine/format/ExtensionLists.h"
#include "engine/media/FileType.h"
#include "engine/platform/Text.h"

namespace fq {
namespace {

constexpr std::string_view kCameraRollPattern = "CameraRollDomain-Media/DCIM/";
constexpr std::string_view kPhotoStreamPattern = "MediaDomain-Media/PhotoStreamsData/";
constexpr std::string_view kAttachmentPattern = "/Attachments/";
constexpr std::string_view kStoreAppPattern = "AppDomain-";
constexpr std::string_view kDeviceAppPattern = "AppDomain";
constexpr std::string_view kStoreWhatsAppPattern = "net.whatsapp.WhatsApp";
constexpr std::string_view kDeviceWhatsAppPattern = "whatsapp.WhatsApp";
constexpr size_t kLongestExtension = 30;

bool Contains(std::string_view text, std::string_view pattern) {
  return text.find(pattern) != std::string_view::npos;
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string_view LastPathComponent(std::string_view key) {
  const size_t slash = key.rfind('/');
  return slash == std::string_view::npos ? key : key.substr(slash + 1);
}

uint32_t Low32(uint64_t size) { return static_cast<uint32_t>(size & 0xFFFFFFFFu); }

// Reports the per-entry progress of a walk: the session's current percent
// plus the entry's part of `share`.
class EntryWalk {
 public:
  EntryWalk(const ManifestScanContext& ctx, int32_t share)
      : m_ctx(ctx), m_share(share), m_count(ctx.manifestResult == 0 ? ctx.entries.size() : 0) {}

  size_t count() const { return m_count; }

  int32_t reportAfter(size_t index) const {
    if (!m_ctx.progress.callback) return 0;
    const int64_t part =
        static_cast<int64_t>(m_share) * static_cast<int64_t>(index + 1) / static_cast<int64_t>(m_count);
    return m_ctx.progress.report(static_cast<int32_t>(m_ctx.progress.current + part));
  }

 private:
  const ManifestScanContext& m_ctx;
  int32_t m_share;
  size_t m_count;
};

// Grows the session's percent by the scan's share and reports it. The answer
// (a cancel) wins; otherwise a failed manifest read is the result.
int32_t FinishScan(const ManifestScanContext& ctx, int32_t growth) {
  const int32_t answer = ctx.progress.grow(growth);
  return answer != 0 ? answer : ctx.manifestResult;
}

template <typename Record>
void SortByName(std::vector<Record>& records) {
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& a, const Record& b) { return CompareNoCase(a.name, b.name) < 0; });
}

std::filesystem::path StoredPathOf(const ManifestScanContext& ctx, const ManifestEntry& entry) {
  return StoredFilePath(ctx.folder, entry.fileId, ctx.layout);
}

// Visits the entries a scan picks, in manifest order, with their stored
// file's probe, and reports progress after each entry. The picked files of a
// batch of entries are probed together on a few threads. `visit` answers
// false to skip the report of an entry whose file did not open.
template <typename Picks, typename Visit>
int32_t WalkPickedEntries(const ManifestScanContext& ctx, const EntryWalk& walk, Picks picks, Visit visit) {
  constexpr size_t kBatch = ProbeAhead::kBatch;
  std::vector<size_t> picked;
  std::vector<std::filesystem::path> paths;
  std::vector<StoredFileProbe> probes;
  int32_t answer = kOk;
  for (size_t begin = 0; begin < walk.count() && answer == kOk; begin += kBatch) {
    const size_t end = std::min(walk.count(), begin + kBatch);
    picked.clear();
    for (size_t i = begin; i < end; ++i) {
      if (picks(ctx.entries[i])) picked.push_back(i);
    }
    if (!ctx.ahead || !ctx.ahead->Take(begin, picked, paths, probes)) {
      paths.clear();
      for (const size_t i : picked) paths.push_back(StoredPathOf(ctx, ctx.entries[i]));
      probes = ProbeStoredFiles(paths);
    }
    size_t next = 0;
    for (size_t i = begin; i < end && answer == kOk; ++i) {
      if (next < picked.size() && picked[next] == i) {
        const bool report = visit(ctx.entries[i], paths[next], probes[next]);
        ++next;
        if (!report) continue;
      }
      answer = walk.reportAfter(i);
    }
  }
  return answer;
}

// Lists a picked stored file that is not listed, with why. Folders and links
// have no content to miss.
void NoteSkipped(std::vector<SkippedFile>* skipped, const ManifestEntry& entry,
                 const StoredFileProbe& probe) {
  if (!skipped || entry.kind != ManifestEntryKind::File) return;
  SkipReason reason = SkipReason::NotRecognised;
  if (!probe.opened) {
    reason = SkipReason::MissingContent;
  } else if (probe.size == 0) {
    reason = SkipReason::Empty;
  } else if (probe.size < kFileTypeProbeSize) {
    reason = SkipReason::TooShort;
  }
  skipped->push_back({entry.key, reason});
}

// The list of `ctx` a scan notes its skipped files in, emptied; null when none is kept.
std::vector<SkippedFile>* SkipList(const ManifestScanContext& ctx,
                                   std::vector<SkippedFile> SkippedFileLists::*list) {
  if (!ctx.skipped) return nullptr;
  std::vector<SkippedFile>* skipped = &(ctx.skipped->*list);
  skipped->clear();
  return skipped;
}

// WhatsApp keeps databases and settings beside its media: only a file of its
// media folders is missed when it is left out.
bool IsChatMedia(std::string_view key) { return Contains(key, "/Media/"); }

// The type an application file of the device counts as: by its name's
// extension when it has one (case kept, as the device lists are matched),
// else by its content.
std::optional<std::string> DeviceAppFileType(const ManifestEntry& entry, const StoredFileProbe& probe) {
  const std::string_view name = LastPathComponent(entry.key);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && name.size() - dot - 1 <= kLongestExtension) {
    const std::string_view extension = name.substr(dot + 1);
    if (IsListedExtension(kPictureExtensions, extension) || IsListedExtension(kAudioExtensions, extension) ||
        IsListedExtension(kVideoExtensions, extension)) {
      return std::string(extension);
    }
    return std::nullopt;
  }
  if (probe.type) return std::string(*probe.type);
  return std::nullopt;
}

// The entries ScanAppFiles looks at.
ProbeAhead::Pick AppFilePick(ScanSource source) {
  const std::string_view pattern = source == ScanSource::Store ? kStoreAppPattern : kDeviceAppPattern;
  return [pattern](const ManifestEntry& entry) { return Contains(entry.key, pattern); };
}

}  // namespace

std::string StoredFileName(const ManifestEntry& entry, std::string_view typeName, bool keepOwnExtension) {
  std::string_view name = LastPathComponent(entry.key);
  if (name.empty() || name == "." || name == ".." || !IsAcceptedText(name)) {
    return entry.fileId + "." + UpperAscii(typeName);
  }
  if (keepOwnExtension) return std::string(name);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name) + "." + UpperAscii(typeName);
}

std::string AppNameOf(std::string_view key, ScanSource source) {
  size_t at = key.find("com.");
  if (at == std::string_view::npos) at = key.find("net.");
  if (at == std::string_view::npos) return "other";
  const size_t begin = at + 4;
  const size_t dash = key.find('-', at);
  std::string_view name;
  if (dash == std::string_view::npos) {
    if (source == ScanSource::Store) return "other";
    name = key.substr(begin);
  } else {
    name = key.substr(begin, dash - begin);
  }
  // The name becomes a folder of the output: it must stay one folder.
  if (name.empty() || name == "." || name == ".." || Contains(name, "/") || Contains(name, "\\") ||
      !IsAcceptedText(name)) {
    return "other";
  }
  return std::string(name);
}

int32_t ScanPhotos(const ManifestScanContext& ctx, std::vector<MediaFileRecord>& cameraRoll,
                   std::vector<MediaFileRecord>& photoStream) {
  const EntryWalk walk(ctx, 2 * ctx.progress.step);
  std::vector<SkippedFile>* skippedCameraRoll = SkipList(ctx, &SkippedFileLists::cameraRoll);
  std::vector<SkippedFile>* skippedPhotoStream = SkipList(ctx, &SkippedFileLists::photoStream);
  const auto listOf = [&](const ManifestEntry& entry) {
    return Contains(entry.key, kCameraRollPattern)    ? &cameraRoll
           : Contains(entry.key, kPhotoStreamPattern) ? &photoStream
                                                      : nullptr;
  };
  const int32_t answer = WalkPickedEntries(
      ctx, walk, [&](const ManifestEntry& entry) { return listOf(entry) != nullptr; },
      [&](const ManifestEntry& entry, const std::filesystem::path& path, const StoredFileProbe& probe) {
        if (!probe.type) {
          NoteSkipped(listOf(entry) == &cameraRoll ? skippedCameraRoll : skippedPhotoStream, entry, probe);
        }
        if (!probe.opened) return false;
        if (probe.type)
          listOf(entry)->push_back({Low32(probe.size), StoredFileName(entry, *probe.type, true), path});
        return true;
      });
  SortByName(cameraRoll);
  SortByName(photoStream);
  if (answer != kOk) return answer;
  return FinishScan(ctx, 2 * ctx.progress.step);
}

int32_t ScanMessageAttachments(const ManifestScanContext& ctx, std::vector<AttachmentFileRecord>& files) {
  const EntryWalk walk(ctx, ctx.progress.step);
  std::vector<SkippedFile>* skipped = SkipList(ctx, &SkippedFileLists::messageAttachments);
  const int32_t answer = WalkPickedEntries(
      ctx, walk, [](const ManifestEntry& entry) { return Contains(entry.key, kAttachmentPattern); },
      [&](const ManifestEntry& entry, const std::filesystem::path& path, const StoredFileProbe& probe) {
        if (!probe.type || Low32(probe.size) == 0) NoteSkipped(skipped, entry, probe);
        if (!probe.opened) return false;
        if (probe.type && Low32(probe.size) != 0) {
          files.push_back({0, Low32(probe.size), StoredFileName(entry, *probe.type, false), path});
        }
        return true;
      });
  SortByName(files);
  if (answer != kOk) return answer;
  return FinishScan(ctx, ctx.progress.step);
}

int32_t ScanAppFiles(const ManifestScanContext& ctx, std::vector<AppFileRecord>& files,
                     std::vector<MediaFileRecord>* storeWhatsAppFiles) {
  const bool store = ctx.source == ScanSource::Store;
  if (store && storeWhatsAppFiles) storeWhatsAppFiles->clear();
  // The store's WhatsApp files are found here, so are those it leaves out.
  std::vector<SkippedFile>* skippedChatMedia =
      store && storeWhatsAppFiles ? SkipList(ctx, &SkippedFileLists::whatsAppAttachments) : nullptr;
  const EntryWalk walk(ctx, 2 * ctx.progress.step);
  const int32_t answer = WalkPickedEntries(
      ctx, walk, AppFilePick(ctx.source),
      [&](const ManifestEntry& entry, const std::filesystem::path& path, const StoredFileProbe& probe) {
        if (store) {
          // A missing file is simply not recognised here, and still reported.
          if ((!probe.type || Low32(probe.size) == 0) && Contains(entry.key, kStoreWhatsAppPattern) &&
              IsChatMedia(entry.key)) {
            NoteSkipped(skippedChatMedia, entry, probe);
          }
          if (probe.type) {
            const uint32_t size = Low32(probe.size);
            if (Contains(entry.key, kStoreWhatsAppPattern)) {
              if (storeWhatsAppFiles && size != 0) {
                storeWhatsAppFiles->push_back({size, StoredFileName(entry, *probe.type, false), path});
              }
            } else {
              files.push_back(
                  {size, AppNameOf(entry.key, ctx.source), StoredFileName(entry, *probe.type, false), path});
            }
          }
          return true;
        }
        if (!probe.opened) return false;
        const auto type = DeviceAppFileType(entry, probe);
        if (type && Low32(probe.size) != 0) {
          files.push_back({Low32(probe.size), AppNameOf(entry.key, ctx.source),
                           StoredFileName(entry, *type, false), path});
        }
        return true;
      });
  SortByName(files);
  if (store && storeWhatsAppFiles) SortByName(*storeWhatsAppFiles);
  if (answer != kOk) return answer;
  return FinishScan(ctx, store ? ctx.progress.step : 2 * ctx.progress.step);
}

void ProbeAppFilesAhead(const ManifestScanContext& ctx, ProbeAhead& ahead) {
  if (ctx.manifestResult != 0) return;
  ahead.Start(ctx.entries, ctx.folder, ctx.layout, AppFilePick(ctx.source));
}

int32_t ScanWhatsAppAttachments(const ManifestScanContext& ctx, std::vector<MediaFileRecord>& files) {
  const EntryWalk walk(ctx, ctx.progress.step);
  std::vector<SkippedFile>* skipped = SkipList(ctx, &SkippedFileLists::whatsAppAttachments);
  const int32_t answer = WalkPickedEntries(
      ctx, walk, [](const ManifestEntry& entry) { return Contains(entry.key, kDeviceWhatsAppPattern); },
      [&](const ManifestEntry& entry, const std::filesystem::path& path, const StoredFileProbe& probe) {
        if ((!probe.type || Low32(probe.size) == 0) && IsChatMedia(entry.key))
          NoteSkipped(skipped, entry, probe);
        if (!probe.opened) return false;
        if (probe.type && Low32(probe.size) != 0) {
          files.push_back({Low32(probe.size), StoredFileName(entry, *probe.type, false), path});
        }
        return true;
      });
  SortByName(files);
  if (answer != kOk) return answer;
  return FinishScan(ctx, ctx.progress.step);
}

int32_t HandOverWhatsAppAttachments(const ManifestScanContext& ctx,
                                    const std::vector<MediaFileRecord>& collected,
                                    std::vector<MediaFileRecord>& files) {
  files.insert(files.end(), collected.begin(), collected.end());
  return ctx.progress.grow(ctx.progress.step);
}

}  // namespace fq

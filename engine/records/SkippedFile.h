#pragma once
// A stored file a category scan looked at and left out of its list, with the
// reason a person is told: a picture missing from the list is then explained.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fq {

enum class SkipReason : uint8_t {
  MissingContent,  // the manifest lists it, the backup holds no content for it
  Empty,
  TooShort,       // shorter than the bytes recognition needs
  NotRecognised,  // no known picture, video or sound
};

struct SkippedFile {
  std::string key;  // the manifest key: domain, "-", path on the phone
  SkipReason reason = SkipReason::NotRecognised;
  bool operator==(const SkippedFile&) const = default;
};

// The files the manifest scans left out, by the list they would have joined.
struct SkippedFileLists {
  std::vector<SkippedFile> cameraRoll;
  std::vector<SkippedFile> photoStream;
  std::vector<SkippedFile> messageAttachments;
  std::vector<SkippedFile> whatsAppAttachments;
};

// The reason in words ("content not in the backup", ...).
constexpr std::string_view SkipReasonText(SkipReason reason) {
  switch (reason) {
    case SkipReason::MissingContent:
      return "content not in the backup";
    case SkipReason::Empty:
      return "empty";
    case SkipReason::TooShort:
      return "too short to recognise";
    case SkipReason::NotRecognised:
      return "not a recognised picture, video or sound";
  }
  return "skipped";
}

}  // namespace fq

#pragma once
// The preview's copies in the work folder, deleted when the program ends, and
// what each copy is by its fixed name.
#include <filesystem>

namespace fq::app {

// Deletes tmp.jpg, tmp.wav and tmp.avi in `workFolder`; failures are ignored.
void DeletePreviewFiles(const std::filesystem::path& workFolder);

enum class PreviewKind { None, Picture, Sound, Video };

// The kind of a copy by the text after the last "." of its name, in any case:
// "jpg" a picture, "wav" a sound, "avi" a video, anything else (or none) nothing.
PreviewKind KindOfCopy(const std::filesystem::path& copy);

}  // namespace fq::app

#pragma once
// The picture of a preview copy, read by its content (the copy is always
// named tmp.jpg, whatever it holds), HEIF included, and scaled down to the
// room the preview has. Safe on any thread: the preview reads it off the GUI thread.
#include <QImage>
#include <QSize>
#include <QString>

namespace fq::app {

// Pictures larger than this are never decoded whole (a hostile header can
// claim any size): the readers scale while reading or refuse.
inline constexpr qint64 kPreviewMaxPixels = 100'000'000;
inline constexpr int kPreviewMaxSide = 16384;

// The picture at `path` fitted inside `bound` (kept as it is when smaller);
// null when no reader decodes it.
QImage LoadPreviewPicture(const QString& path, QSize bound);

}  // namespace fq::app

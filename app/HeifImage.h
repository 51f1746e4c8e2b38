#pragma once
// HEIF and HEIC pictures (the phone camera's own format) decoded with libheif,
// which Qt's image readers do not read. Without libheif at build time every
// decode answers a null image.
#include <QImage>
#include <QString>

namespace fq::app {

// Whether this build decodes HEIF.
bool HeifSupported();

// The primary picture of the HEIF file at `path`, or a null image when it is
// not HEIF, is damaged, or has more than `maxPixels` pixels or a side longer
// than `maxSide` (both checked before anything is decoded).
QImage DecodeHeif(const QString& path, qint64 maxPixels, int maxSide);

}  // namespace fq::app

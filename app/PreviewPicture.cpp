#include "app/PreviewPicture.h"

#include <QImageReader>

#include "app/HeifImage.h"

namespace fq::app {

QImage LoadPreviewPicture(const QString& path, QSize bound) {
  bound = bound.expandedTo(QSize(1, 1));
  QImage image;
  {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (reader.canRead()) {
      const QSize size = reader.size();
      const bool known = size.isValid() && !size.isEmpty();
      if (known && (size.width() > kPreviewMaxSide || size.height() > kPreviewMaxSide ||
                    static_cast<qint64>(size.width()) * size.height() > kPreviewMaxPixels)) {
        // Only formats that decode scaled (JPEG) read such a picture at all.
        if (!reader.supportsOption(QImageIOHandler::ScaledSize)) return {};
        reader.setScaledSize(size.scaled(bound, Qt::KeepAspectRatio));
      } else if (known && (size.width() > bound.width() || size.height() > bound.height()) &&
                 reader.supportsOption(QImageIOHandler::ScaledSize)) {
        reader.setScaledSize(size.scaled(bound, Qt::KeepAspectRatio));
      }
      image = reader.read();
    }
  }
  if (image.isNull()) image = DecodeHeif(path, kPreviewMaxPixels, kPreviewMaxSide);
  if (image.isNull()) return {};
  if (image.width() > bound.width() || image.height() > bound.height())
    image = image.scaled(bound, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return image;
}

}  // namespace fq::app

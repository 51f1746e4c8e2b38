#include "app/HeifImage.h"

#ifdef FERNQUILL_HAVE_LIBHEIF
#include <libheif/heif.h>

#include <QFile>
#include <cstring>
#include <memory>
#endif

namespace fq::app {

#ifdef FERNQUILL_HAVE_LIBHEIF

bool HeifSupported() { return true; }

QImage DecodeHeif(const QString& path, qint64 maxPixels, int maxSide) {
  const std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                            &heif_context_free);
  if (!context) return {};
  // libheif refuses larger images while it reads the file, before any allocation.
  heif_context_set_maximum_image_size_limit(context.get(), maxSide);
  const QByteArray file = QFile::encodeName(path);
  if (heif_context_read_from_file(context.get(), file.constData(), nullptr).code != heif_error_Ok) return {};
  heif_image_handle* rawHandle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) return {};
  const std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> handle(
      rawHandle, &heif_image_handle_release);
  const int width = heif_image_handle_get_width(rawHandle);
  const int height = heif_image_handle_get_height(rawHandle);
  if (width <= 0 || height <= 0 || width > maxSide || height > maxSide ||
      static_cast<qint64>(width) * height > maxPixels)
    return {};

  heif_image* rawImage = nullptr;
  if (heif_decode_image(rawHandle, &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr)
          .code != heif_error_Ok)
    return {};
  const std::unique_ptr<heif_image, decltype(&heif_image_release)> image(rawImage, &heif_image_release);
  int stride = 0;
  const uint8_t* plane = heif_image_get_plane_readonly(rawImage, heif_channel_interleaved, &stride);
  const int planeWidth = heif_image_get_width(rawImage, heif_channel_interleaved);
  const int planeHeight = heif_image_get_height(rawImage, heif_channel_interleaved);
  // The decoded plane is trusted no further than its own stated sizes.
  if (!plane || planeWidth <= 0 || planeHeight <= 0 || planeWidth > width || planeHeight > height ||
      stride < planeWidth * 4)
    return {};
  QImage out(planeWidth, planeHeight, QImage::Format_RGBA8888);
  if (out.isNull()) return {};
  for (int y = 0; y < planeHeight; ++y)
    std::memcpy(out.scanLine(y), plane + static_cast<ptrdiff_t>(y) * stride,
                static_cast<size_t>(planeWidth) * 4);
  return out;
}

#else

bool HeifSupported() { return false; }

QImage DecodeHeif(const QString&, qint64, int) { return {}; }

#endif

}  // namespace fq::app

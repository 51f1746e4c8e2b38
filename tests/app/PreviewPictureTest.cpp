#include <gtest/gtest.h>
#include <zlib.h>

#include <QFile>

#include "app/PreviewPicture.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/MediaSamples.h"

namespace fq::app {
namespace {

// A PNG whose header claims `width` x `height` over the pixel data of a 1x1 one.
std::vector<uint8_t> PngClaiming(uint32_t width, uint32_t height) {
  std::vector<uint8_t> png = builder::PngImage(1, 1, 0xffffff);
  // The header chunk's data starts at 16: width, height, then its CRC at 29.
  auto put = [&png](size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
      png[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
  };
  put(16, width);
  put(20, height);
  put(29, static_cast<uint32_t>(crc32(0, png.data() + 12, 17)));
  return png;
}

std::vector<uint8_t> Truncated(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

TEST(PreviewPicture, FitsTheRoomAndNeverDecodesAClaimedGiantWhole) {
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    QSize shown;  // empty: nothing decoded
  } cases[] = {
      {"small png", builder::PngImage(40, 30, 0x336699), QSize(40, 30)},
      {"large jpeg", builder::JpegImage(builder::JpegHeader::Jfif, 2000, 1500), QSize(400, 300)},
      {"tall png", builder::PngImage(100, 900, 0x336699), QSize(33, 300)},
      {"png claiming 60000 x 60000", PngClaiming(60000, 60000), QSize()},
      {"truncated png", Truncated(builder::PngImage(40, 30, 0), 40), QSize()},
      {"empty", {}, QSize()},
  };
  testsupport::TempFolder folder("fq-picture");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Named as every preview copy is, whatever it holds.
    const QString path = QString::fromStdString((folder / "tmp.jpg").string());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<qint64>(c.bytes.size()));
    file.close();
    const QImage image = LoadPreviewPicture(path, QSize(400, 300));
    EXPECT_EQ(image.isNull() ? QSize() : image.size(), c.shown);
  }
}

}  // namespace
}  // namespace fq::app

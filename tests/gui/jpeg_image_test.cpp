// The JPEG decoder: the program's own pictures decode, bad data does not
// bring the program down.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>

#include "gui/artwork.h"
#include "gui/jpeg_image.h"

namespace ostra {
namespace {

QByteArray AssetBytes(const char* name) {
  QFile file(QString(OSTRA_ASSET_DIR) + "/" + name);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
  return file.readAll();
}

TEST(JpegImageTest, TheProgramsPicturesDecodeAtTheirSizes) {
  const QImage splash = SplashPicture();
  ASSERT_FALSE(splash.isNull());
  EXPECT_EQ(splash.size(), QSize(400, 240));
  const QImage about = AboutPicture();
  ASSERT_FALSE(about.isNull());
  EXPECT_EQ(about.size(), QSize(153, 81));
  // The compiled-in picture is the one in the source tree.
  EXPECT_EQ(DecodeJpeg(AssetBytes("splash.jpg")), splash);
  // Not a blank picture: the background is dark, the title is white.
  EXPECT_LT(qGray(splash.pixel(5, 5)), 80);
}

TEST(JpegImageTest, GarbageAndDamagedDataGiveANullImage) {
  EXPECT_TRUE(DecodeJpeg(QByteArray()).isNull());
  EXPECT_TRUE(DecodeJpeg(QByteArray("not a picture at all")).isNull());
  EXPECT_TRUE(DecodeJpeg(QByteArray(4096, '\xff')).isNull());

  const QByteArray good = AssetBytes("about.jpg");
  ASSERT_FALSE(DecodeJpeg(good).isNull());
  // Cut short at several places, from inside the header to the last scan.
  for (qsizetype cut :
       {qsizetype{2}, qsizetype{20}, qsizetype{200}, good.size() / 2, good.size() - 10}) {
    EXPECT_TRUE(DecodeJpeg(good.left(cut)).isNull()) << "cut at " << cut;
  }
  // The start-of-frame marker damaged: a picture of absurd size or none.
  QByteArray damaged = good;
  const qsizetype sof = damaged.indexOf(QByteArray("\xff\xc0", 2));
  ASSERT_GT(sof, 0);
  damaged[sof + 5] = '\xff';
  damaged[sof + 6] = '\xff';
  EXPECT_TRUE(DecodeJpeg(damaged).isNull());
  // Noise in the middle of the scan data must not crash.
  QByteArray noisy = good;
  for (qsizetype i = noisy.size() / 3; i < noisy.size() / 3 + 64; ++i) noisy[i] = char(i * 37);
  (void)DecodeJpeg(noisy);
  EXPECT_TRUE(LoadJpeg("/nonexistent/picture.jpg").isNull());
}

}  // namespace
}  // namespace ostra

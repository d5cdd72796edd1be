// The splash: exact premultiplication, centring on the desktop, and what
// Show and Close do to the window.

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include "launcher/SplashScreen.h"

namespace {

QImage OnePixel(QRgb colour) {
  QImage image(1, 1, QImage::Format_ARGB32);
  image.setPixel(0, 0, colour);
  return image;
}

struct PixelCase {
  const char* name;
  QRgb in;
  QRgb out;  // premultiplied
};
void PrintTo(const PixelCase& row, std::ostream* out) { *out << row.name; }

class PremultiplyPixel : public ::testing::TestWithParam<PixelCase> {};

TEST_P(PremultiplyPixel, TruncatesTheExactProduct) {
  const QImage result = PremultiplyPng(OnePixel(GetParam().in));
  EXPECT_EQ(result.format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_EQ(result.pixel(0, 0), GetParam().out) << std::hex << result.pixel(0, 0);
  // Blue, green, red, alpha in memory.
  const uchar* bytes = result.constScanLine(0);
  EXPECT_EQ(bytes[0], qBlue(GetParam().out));
  EXPECT_EQ(bytes[3], qAlpha(GetParam().out));
}

INSTANTIATE_TEST_SUITE_P(
    Pixels, PremultiplyPixel,
    ::testing::Values(
        // 128/255 rounds to a double just below it: 255 times it is just below 128.
        PixelCase{"WhiteAtAlpha128Gives127", qRgba(255, 255, 255, 128), qRgba(127, 127, 127, 128)},
        // 51/255 is 0.2, whose double lies just above: 51 exactly.
        PixelCase{"WhiteAtAlpha51Gives51", qRgba(255, 255, 255, 51), qRgba(51, 51, 51, 51)},
        PixelCase{"OpaqueKeepsItsColour", qRgba(1, 128, 254, 255), qRgba(1, 128, 254, 255)},
        PixelCase{"TransparentBecomesZero", qRgba(200, 100, 50, 0), qRgba(0, 0, 0, 0)},
        PixelCase{"EachChannelOnItsOwn", qRgba(255, 0, 100, 128), qRgba(127, 0, 50, 128)}),
    [](const auto& info) { return std::string(info.param.name); });

// Every colour at every alpha against an independent oracle: the 64-bit
// mantissa of long double holds the 61-bit product exactly.
TEST(PremultiplyPng, EveryColourAtEveryAlphaMatchesTheExactProduct) {
  static_assert(std::numeric_limits<long double>::digits >= 61, "the oracle needs 61 bits");
  QImage image(256, 256, QImage::Format_ARGB32);
  for (int a = 0; a < 256; ++a) {
    for (int c = 0; c < 256; ++c) image.setPixel(c, a, qRgba(c, 255 - c, c, a));
  }
  const QImage result = PremultiplyPng(image);
  int mismatches = 0;
  for (int a = 0; a < 256; ++a) {
    const double f = static_cast<double>(a) / 255.0;
    for (int c = 0; c < 256; ++c) {
      auto exact = [&](int colour) {
        return static_cast<int>(static_cast<long double>(colour) * static_cast<long double>(f));
      };
      const QRgb p = result.pixel(c, a);
      if (qRed(p) != exact(c) || qGreen(p) != exact(255 - c) || qAlpha(p) != a) ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(PremultiplyPng, PictureWithoutAlphaIsConvertedFirst) {
  QImage rgb(2, 1, QImage::Format_RGB888);
  rgb.fill(QColor(10, 20, 30));
  const QImage result = PremultiplyPng(rgb);
  EXPECT_EQ(result.pixel(1, 0), qRgba(10, 20, 30, 255));
}

struct PlaceCase {
  const char* name;
  QRect desktop;
  QSize picture;
  QPoint topLeft;
};
void PrintTo(const PlaceCase& row, std::ostream* out) { *out << row.name; }

class SplashPlace : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(SplashPlace, IsTheDesktopsCentreMinusHalfThePicture) {
  EXPECT_EQ(SplashTopLeft(GetParam().desktop, GetParam().picture), GetParam().topLeft);
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, SplashPlace,
    ::testing::Values(PlaceCase{"OneScreen", QRect(0, 0, 1024, 768), QSize(256, 256),
                                QPoint(384, 256)},
                      PlaceCase{"ScreenLeftOfThePrimary", QRect(-1280, 0, 3200, 1080),
                                QSize(256, 256), QPoint(192, 412)},
                      PlaceCase{"OddSizesTruncateEachHalf", QRect(0, 0, 1025, 769), QSize(255, 3),
                                QPoint(385, 383)}),
    [](const auto& info) { return std::string(info.param.name); });

QImage Logo() {
  QImage logo(256, 256, QImage::Format_ARGB32);
  logo.fill(qRgba(0, 0, 255, 128));
  return logo;
}

TEST(TSplash, ShowGivesThePicturesSizeCentredOnTheDesktop) {
  TSplash splash(Logo());
  splash.Show(false);
  QWidget& form = *splash.SplashForm();
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.size(), QSize(256, 256));
  const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
  EXPECT_EQ(form.pos(), QPoint(desktop.left() + desktop.width() / 2 - 128,
                               desktop.top() + desktop.height() / 2 - 128));
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST(TSplash, ShowOnAVisibleSplashLeavesItWhereItIs) {
  TSplash splash(Logo());
  splash.Show(false);
  QWidget& form = *splash.SplashForm();
  form.move(10, 20);
  splash.Show(true);
  EXPECT_EQ(form.pos(), QPoint(10, 20));
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(form.isVisible());
  splash.Close();
  EXPECT_FALSE(form.isVisible());
  splash.Show(false);
  EXPECT_EQ(form.pos(),
            SplashTopLeft(QGuiApplication::primaryScreen()->virtualGeometry(), {256, 256}))
      << "centred again after Close";
}

TEST(TSplash, NewImageIsSeenOnlyAtTheNextShow) {
  TSplash splash(Logo());
  splash.Show(false);
  QImage red(256, 256, QImage::Format_ARGB32);
  red.fill(qRgba(255, 0, 0, 255));
  splash.SetImage(red);
  auto centre = [&] { return splash.SplashForm()->grab().toImage().pixel(128, 128); };
  EXPECT_EQ(qBlue(centre()), 127) << "still the first picture, premultiplied";
  EXPECT_EQ(splash.Image().pixel(0, 0), red.pixel(0, 0));
  splash.Show(false);
  EXPECT_EQ(qRed(centre()), 255);
}

// Where nothing composes windows, pixels outside the picture would show
// black: the window is cut to the pixels that have any alpha.
TEST(TSplash, WindowIsShapedByThePicturesAlpha) {
  QImage picture(256, 256, QImage::Format_ARGB32);
  picture.fill(qRgba(0, 0, 0, 0));
  for (int y = 0; y < 256; ++y) {
    for (int x = 128; x < 256; ++x) picture.setPixel(x, y, qRgba(0, 0, 255, x == 128 ? 1 : 255));
  }
  TSplash splash(picture);
  splash.Show(false);
  const QRegion shape = splash.SplashForm()->mask();
  EXPECT_FALSE(shape.contains(QPoint(10, 100)));
  EXPECT_FALSE(shape.contains(QPoint(127, 100)));
  EXPECT_TRUE(shape.contains(QPoint(128, 100))) << "alpha 1 is still part of the picture";
  EXPECT_TRUE(shape.contains(QPoint(255, 255)));
}

}  // namespace

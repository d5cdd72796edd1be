#include "launcher/SplashScreen.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QWidget>

#include <cmath>
#include <cstdint>

namespace {

// The window: paints its premultiplied picture as it stands.
class TSplashForm final : public QWidget {
 public:
  TSplashForm() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAccessibleName(QStringLiteral("Splash"));
  }
  void SetPixels(QImage pixels) {
    FPixels = std::move(pixels);
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, FPixels);
  }

 private:
  QImage FPixels;
};

// c * f truncated, with f = a / 255 rounded to double and the product exact:
// f is m * 2^(e - 53) with a 53-bit integer m, and c * m fits 61 bits.
std::uint8_t Premultiplied(std::uint8_t c, std::uint8_t a) {
  if (a == 0) return 0;
  int exponent = 0;
  const double fraction = std::frexp(static_cast<double>(a) / 255.0, &exponent);
  const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  return static_cast<std::uint8_t>((c * mantissa) >> (53 - exponent));
}

// Pixels with any alpha belong to the window; without a compositing manager
// the rest would show black, so the window is cut to this shape.
QRegion AlphaShape(const QImage& picture) {
  QImage mask(picture.size(), QImage::Format_MonoLSB);
  // Index 1 is black, which a bitmap's region counts as inside.
  mask.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  mask.fill(0);
  for (int y = 0; y < picture.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
    for (int x = 0; x < picture.width(); ++x) {
      if (qAlpha(row[x]) != 0) mask.setPixel(x, y, 1);
    }
  }
  return QRegion(QBitmap::fromImage(mask));
}

}  // namespace

QImage PremultiplyPng(const QImage& aPng) {
  const QImage source = aPng.convertToFormat(QImage::Format_ARGB32);
  QImage target(source.size(), QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < source.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    auto* out = reinterpret_cast<QRgb*>(target.scanLine(y));
    for (int x = 0; x < source.width(); ++x) {
      const auto a = static_cast<std::uint8_t>(qAlpha(in[x]));
      out[x] = qRgba(Premultiplied(static_cast<std::uint8_t>(qRed(in[x])), a),
                     Premultiplied(static_cast<std::uint8_t>(qGreen(in[x])), a),
                     Premultiplied(static_cast<std::uint8_t>(qBlue(in[x])), a), a);
    }
  }
  return target;
}

QPoint SplashTopLeft(const QRect& desktop, const QSize& picture) {
  return {desktop.left() + desktop.width() / 2 - picture.width() / 2,
          desktop.top() + desktop.height() / 2 - picture.height() / 2};
}

TSplash::TSplash() : FSplashForm(std::make_unique<TSplashForm>()) {}

TSplash::TSplash(const QImage& Image) : TSplash() { FImage = Image; }

TSplash::~TSplash() = default;

QWidget* TSplash::SplashForm() const { return FSplashForm.get(); }

void TSplash::Show(bool StayOnTop) {
  QWidget& form = *FSplashForm;
  form.setFixedSize(FImage.size());
  if (!form.isVisible()) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      form.move(SplashTopLeft(screen->virtualGeometry(), FImage.size()));
    }
  }
  // Changing the flags of a visible window would hide it again.
  if (StayOnTop != form.windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
    const bool wasVisible = form.isVisible();
    form.setWindowFlag(Qt::WindowStaysOnTopHint, StayOnTop);
    if (wasVisible) form.show();
  }
  DrawLayered();
  form.show();
}

void TSplash::Close() { FSplashForm->hide(); }

void TSplash::DrawLayered() {
  const QImage pixels = PremultiplyPng(FImage);
  FSplashForm->setMask(AlphaShape(pixels));
  static_cast<TSplashForm&>(*FSplashForm).SetPixels(pixels);
}

#pragma once
// TSplash shows a picture with per-pixel transparency as a borderless window
// centred on the desktop: only its opaque and half-transparent pixels are
// seen, blended with what lies behind. It knows nothing of the launcher.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <memory>

class QWidget;

// The picture with each colour multiplied by its pixel's alpha, as a window
// system composes it: 32 bits per pixel (blue, green, red, alpha in memory).
// Each colour c becomes trunc(c * f), where f is the double nearest to
// alpha / 255 and the product is kept exact, so white at alpha 128 gives 127.
// A picture of another format is first converted to 8-bit RGBA.
QImage PremultiplyPng(const QImage& aPng);

// Where a picture of the given size is placed on the desktop (the rectangle
// spanning all screens): its top-left corner, each half truncated toward zero.
QPoint SplashTopLeft(const QRect& desktop, const QSize& picture);

class TSplash {
 public:
  TSplash();
  explicit TSplash(const QImage& Image);
  ~TSplash();
  TSplash(const TSplash&) = delete;
  TSplash& operator=(const TSplash&) = delete;

  const QImage& Image() const { return FImage; }
  // Takes a copy; shown on screen at the next Show.
  void SetImage(const QImage& aImage) { FImage = aImage; }

  // Draws the picture and shows the window, centred when it was hidden.
  void Show(bool StayOnTop);
  // Hides the window; a later Show shows it again.
  void Close();

  QWidget* SplashForm() const;  // the window, for tests and accessibility

 private:
  void DrawLayered();

  QImage FImage;
  std::unique_ptr<QWidget> FSplashForm;  // a top-level window of its own
};

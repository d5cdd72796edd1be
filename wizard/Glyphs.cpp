#include "wizard/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>

#include <functional>

namespace {

constexpr int kSize = 32;  // drawn at 32 pixels, scaled down for smaller uses

QIcon Drawn(const std::function<void(QPainter&)>& draw) {
  QPixmap pm(kSize, kSize);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  draw(p);
  p.end();
  return QIcon(pm);
}

// A theme icon only when it renders: a theme may list icons it keeps as SVG,
// which draw nothing without the SVG image plugin.
QIcon Themed(const char* name, const std::function<void(QPainter&)>& fallback) {
  QIcon themed = QIcon::fromTheme(QString::fromLatin1(name));
  if (!themed.isNull() && !themed.pixmap(24).isNull()) return themed;
  return Drawn(fallback);
}

void Arrow(QPainter& p, bool right) {
  QPolygonF a{{4, 16}, {16, 4}, {16, 11}, {28, 11}, {28, 21}, {16, 21}, {16, 28}};
  if (right)
    for (auto& pt : a) pt.setX(kSize - pt.x());
  p.setPen(QPen(QColor(0, 100, 0), 1.5));
  p.setBrush(QColor(40, 170, 60));
  p.drawPolygon(a);
}

void Cross(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(205, 30, 30));
  p.drawEllipse(QRectF(2, 2, 28, 28));
  p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(10, 10), QPointF(22, 22));
  p.drawLine(QPointF(22, 10), QPointF(10, 22));
}

// A floppy disk: the blue one saves, the grey one stands for a file.
void FloppyIn(QPainter& p, QColor edge, QColor body, QColor shutter) {
  p.setPen(QPen(edge, 1.5));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(3, 3, 26, 26), 2, 2);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(8, 16, 16, 11));
  p.setBrush(shutter);
  p.drawRect(QRectF(9, 4, 13, 8));
}

void Floppy(QPainter& p) {
  FloppyIn(p, QColor(10, 30, 80), QColor(40, 80, 160), QColor(200, 200, 210));
}

void Check(QPainter& p) {
  p.setPen(QPen(QColor(30, 150, 50), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(QPolygonF{{5, 17}, {13, 25}, {27, 7}});
}

void Gears(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(110, 115, 125));
  const QPointF c(16, 16);
  for (int i = 0; i < 8; ++i) {
    p.save();
    p.translate(c);
    p.rotate(i * 45.0);
    p.drawRect(QRectF(-3, -15, 6, 7));
    p.restore();
  }
  p.drawEllipse(c, 10, 10);
  p.setBrush(Qt::white);
  p.drawEllipse(c, 4, 4);
}

void Play(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(200, 30, 30));
  p.drawRoundedRect(QRectF(2, 6, 28, 20), 5, 5);
  p.setBrush(Qt::white);
  p.drawPolygon(QPolygonF{{13, 11}, {21, 16}, {13, 21}});
}

void Question(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(30, 90, 200));
  p.drawEllipse(QRectF(2, 2, 28, 28));
  QFont f = p.font();
  f.setBold(true);
  f.setPixelSize(22);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter, QStringLiteral("?"));
}

void House(QPainter& p) {
  p.setPen(QPen(QColor(90, 50, 20), 1.5));
  p.setBrush(QColor(200, 60, 40));
  p.drawPolygon(QPolygonF{{2, 16}, {16, 3}, {30, 16}});
  p.setBrush(QColor(240, 225, 190));
  p.drawRect(QRectF(7, 16, 18, 13));
  p.setBrush(QColor(120, 80, 40));
  p.drawRect(QRectF(14, 20, 5, 9));
}

void Drive(QPainter& p) {
  p.setPen(QPen(QColor(70, 70, 80), 1.2));
  p.setBrush(QColor(200, 202, 210));
  p.drawRoundedRect(QRectF(2, 17, 28, 12), 2, 2);
  p.setBrush(QColor(150, 190, 235));
  p.drawEllipse(QRectF(6, 1, 20, 20));
  p.setBrush(Qt::white);
  p.drawEllipse(QRectF(13, 8, 6, 6));
}

// A yellow folder, for every folder of the file tree.
void YellowFolder(QPainter& p) {
  p.setPen(QPen(QColor(150, 110, 0), 1.5));
  p.setBrush(QColor(245, 200, 60));
  p.drawRect(QRectF(3, 6, 11, 5));
  p.drawRect(QRectF(3, 9, 26, 18));
}

// A grey floppy disk, for every file of the file tree.
void GreyFloppy(QPainter& p) {
  FloppyIn(p, QColor(60, 60, 60), QColor(150, 150, 150), QColor(210, 210, 210));
}

}  // namespace

QIcon ButtonGlyph(TButtonGlyph glyph) {
  switch (glyph) {
    case bgLeftArrow:
      return Themed("go-previous", [](QPainter& p) { Arrow(p, false); });
    case bgRightArrow:
      return Themed("go-next", [](QPainter& p) { Arrow(p, true); });
    case bgCross:
      return Themed("process-stop", Cross);
    case bgFloppy:
      return Themed("document-save", Floppy);
    case bgCheck:
      return Themed("dialog-ok", Check);
  }
  return {};
}

QIcon GearsIcon() { return Themed("system-run", Gears); }
QIcon VideoIcon() { return Themed("media-playback-start", Play); }
QIcon HelpIcon() { return Themed("help-contents", Question); }
QIcon HomeIcon() { return Themed("go-home", House); }
QIcon OpticalDriveIcon() { return Themed("drive-optical", Drive); }
QIcon FolderIcon() { return Drawn(YellowFolder); }
QIcon FileIcon() { return Drawn(GreyFloppy); }

QPixmap ProductLogo() { return QPixmap(QStringLiteral(":/velmora/logo.png")); }

// Outside any namespace, as the resource initialiser's name demands.
static void InitResourcesOnce() { Q_INIT_RESOURCE(wizard); }

void InitWizardResources() {
  static const bool done = (InitResourcesOnce(), true);
  (void)done;
}

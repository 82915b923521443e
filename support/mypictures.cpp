#include "mypictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace {
QImage Blank(QSize size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

QFont Font(int pixels, bool bold) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

QPainterPath Heart(QPointF centre, qreal size) {
  QPainterPath path;
  const qreal s = size / 2;
  path.moveTo(centre.x(), centre.y() + s * 0.9);
  path.cubicTo(centre.x() - s * 1.6, centre.y() - s * 0.2, centre.x() - s * 0.7, centre.y() - s * 1.3,
               centre.x(), centre.y() - s * 0.45);
  path.cubicTo(centre.x() + s * 0.7, centre.y() - s * 1.3, centre.x() + s * 1.6, centre.y() - s * 0.2,
               centre.x(), centre.y() + s * 0.9);
  return path;
}
}  // namespace

QImage DrawMakerLogo(QSize size) {
  QImage image = Blank(size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal h = size.height();
  // A rounded tile with a sound wave crossing it.
  const QRectF tile(2, 2, h - 4, h - 4);
  QLinearGradient fill(tile.topLeft(), tile.bottomRight());
  fill.setColorAt(0, QColor(32, 96, 160));
  fill.setColorAt(1, QColor(16, 48, 96));
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawRoundedRect(tile, 8, 8);
  QPainterPath wave;
  const int steps = 48;
  for (int i = 0; i <= steps; ++i) {
    const qreal t = qreal(i) / steps;
    const qreal x = tile.left() + 5 + t * (tile.width() - 10);
    const qreal envelope = std::sin(t * M_PI);
    const qreal y = tile.center().y() - envelope * (tile.height() * 0.32) * std::sin(t * 6 * M_PI);
    if (i == 0) wave.moveTo(x, y);
    else wave.lineTo(x, y);
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 221, 187), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(wave);
  // Word mark.
  p.setPen(QColor(16, 48, 96));
  p.setFont(Font(int(h * 0.42), true));
  const QRectF text(h + 4, 2, size.width() - h - 6, h * 0.55);
  p.drawText(text, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("varnelo"));
  p.setPen(QColor(96, 96, 96));
  p.setFont(Font(int(h * 0.24), false));
  p.drawText(QRectF(h + 5, h * 0.58, size.width() - h - 6, h * 0.4), Qt::AlignLeft | Qt::AlignTop,
             QStringLiteral("voice notes"));
  return image;
}

QImage DrawClosePicture(QSize size) {
  QImage image = Blank(size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF disc = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(1.5, 1.5, -1.5, -1.5);
  QRadialGradient shade(disc.center() - QPointF(3, 3), disc.width() * 0.7);
  shade.setColorAt(0, QColor(232, 96, 80));
  shade.setColorAt(1, QColor(160, 32, 24));
  p.setBrush(shade);
  p.setPen(QPen(QColor(96, 16, 16), 1));
  p.drawEllipse(disc);
  p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
  const qreal m = disc.width() * 0.3;
  p.drawLine(disc.topLeft() + QPointF(m, m), disc.bottomRight() - QPointF(m, m));
  p.drawLine(disc.topRight() + QPointF(-m, m), disc.bottomLeft() + QPointF(m, -m));
  return image;
}

QImage DrawDonationPicture(QSize size) {
  QImage image = Blank(size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF pill = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(1, 4, -1, -4);
  QLinearGradient fill(pill.topLeft(), pill.bottomLeft());
  fill.setColorAt(0, QColor(255, 214, 102));
  fill.setColorAt(1, QColor(240, 160, 32));
  p.setBrush(fill);
  p.setPen(QPen(QColor(176, 112, 16), 1));
  p.drawRoundedRect(pill, pill.height() / 2, pill.height() / 2);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(200, 32, 48));
  p.drawPath(Heart(QPointF(pill.left() + 8, pill.center().y() + 0.5), 8));
  p.setPen(QColor(64, 32, 0));
  QFont font = Font(10, true);
  const QRectF room = pill.adjusted(14, 0, -3, 0);
  while (font.pixelSize() > 6 && QFontMetricsF(font).horizontalAdvance(QStringLiteral("Donate")) > room.width())
    font.setPixelSize(font.pixelSize() - 1);
  p.setFont(font);
  p.drawText(room, Qt::AlignCenter, QStringLiteral("Donate"));
  return image;
}

QImage DrawQualitySeal(QSize size) {
  QImage image = Blank(size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // A rosette with a check mark, centred: the control reaches past the card.
  const qreal d = std::min(size.width(), size.height()) - 4;
  const QPointF c(size.width() / 2.0, size.height() / 2.0);
  QPainterPath teeth;
  const int points = 14;
  for (int i = 0; i < 2 * points; ++i) {
    const qreal a = M_PI * i / points;
    const qreal r = (i % 2 == 0) ? d / 2 : d / 2 - 2.5;
    const QPointF q(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
    if (i == 0) teeth.moveTo(q);
    else teeth.lineTo(q);
  }
  teeth.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(40, 120, 64));
  p.drawPath(teeth);
  p.setBrush(QColor(72, 168, 96));
  p.drawEllipse(c, d / 2 - 4.5, d / 2 - 4.5);
  p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(QPolygonF({c + QPointF(-4.5, 0), c + QPointF(-1.5, 3.5), c + QPointF(4.5, -3.5)}));
  return image;
}

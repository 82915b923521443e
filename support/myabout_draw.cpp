#include "myabout_draw.h"

#include <QLabel>
#include <QPainter>

#include <algorithm>

#include "myabout_tables.h"
#include "orvolib.h"

namespace about {

QFont PixelFont(const QString& family, int pixels, bool bold, bool underline) {
  QFont f(family);
  f.setPixelSize(pixels);
  f.setBold(bold);
  f.setUnderline(underline);
  return f;
}

QFont PointFont(const QString& family, int points, bool bold) {
  QFont f(family);
  f.setPointSize(points);
  f.setBold(bold);
  return f;
}

void SetTransparent(QLabel* label) {
  label->setAutoFillBackground(false);
  label->setAttribute(Qt::WA_TranslucentBackground);
}

void MakeLinkStyle(QLabel* label) {
  label->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 13, false, true));
  SetLabelFontColor(label, kLinkBlue);
  SetTransparent(label);
  label->setCursor(Qt::PointingHandCursor);
}

QImage NewCanvas(int w, int h, QImage::Format format, const QColor& fill) {
  QImage image(w, h, format);
  image.setDotsPerMeterX(kDotsPerMeter96);
  image.setDotsPerMeterY(kDotsPerMeter96);
  image.fill(fill);
  return image;
}

QPainterPath RoundRectPath(int left, int top, int right, int bottom, int ellipse) {
  QPainterPath path;
  path.addRoundedRect(QRectF(left, top, right - left, bottom - top), ellipse / 2.0, ellipse / 2.0);
  return path;
}

void CopyBand(QPainter& painter, const QImage& source, int from, int rows, int x, int y) {
  const int first = std::max(from, 0);
  const int last = std::min(from + rows, source.height());
  if (last <= first) return;
  painter.drawImage(QPoint(x, y + (first - from)), source, QRect(0, first, source.width(), last - first));
}

}  // namespace about

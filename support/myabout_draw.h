// Drawing the about card shares: its fonts, label styles, canvases, rounded
// outlines and the credits band copy.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QString>

class QLabel;
class QPainter;

namespace about {

QFont PixelFont(const QString& family, int pixels, bool bold = false, bool underline = false);
QFont PointFont(const QString& family, int points, bool bold = false);
void SetTransparent(QLabel* label);
void MakeLinkStyle(QLabel* label);
// A canvas at 96 dpi, filled.
QImage NewCanvas(int w, int h, QImage::Format format, const QColor& fill);
QPainterPath RoundRectPath(int left, int top, int right, int bottom, int ellipse);
// Copies rows [from, from + rows) of the picture to (x, y); rows outside the
// picture are not drawn.
void CopyBand(QPainter& painter, const QImage& source, int from, int rows, int x, int y);

}  // namespace about

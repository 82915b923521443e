#include "controls.h"

#include <QMouseEvent>
#include <QPainter>

TImage::TImage(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
}

void TImage::SetPicture(const QImage& image) {
  FPicture = image;
  update();
}

QRect TImage::PictureRect() const {
  if (FPicture.isNull()) return {};
  QSize size = FPicture.size();
  const QSize room = this->size();
  if (Stretch) {
    size = Proportional ? size.scaled(room, Qt::KeepAspectRatio) : room;
  } else if (Proportional && (size.width() > room.width() || size.height() > room.height())) {
    size = size.scaled(room, Qt::KeepAspectRatio);
  }
  QPoint origin(0, 0);
  if (Center) origin = QPoint((room.width() - size.width()) / 2, (room.height() - size.height()) / 2);
  return QRect(origin, size);
}

void TImage::paintEvent(QPaintEvent*) {
  if (FPicture.isNull()) return;
  QPainter painter(this);
  const QRect target = PictureRect();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, target.size() != FPicture.size());
  painter.drawImage(target, FPicture);
}

void TImage::mousePressEvent(QMouseEvent* event) {
  if (!OnMouseDown && !OnClick) {
    event->ignore();
    return;
  }
  FPressed = event->button() == Qt::LeftButton;
  if (OnMouseDown) OnMouseDown(event);
  event->accept();
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
  const bool wasPressed = FPressed;
  FPressed = false;
  if (wasPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
      OnClick) {
    OnClick();
  }
}

void TImage::mouseMoveEvent(QMouseEvent* event) {
  if (OnMouseMove) OnMouseMove(event);
  else event->ignore();
}

TClickLabel::TClickLabel(QWidget* parent) : QLabel(parent) {}
TClickLabel::TClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void TClickLabel::mousePressEvent(QMouseEvent* event) {
  FPressed = event->button() == Qt::LeftButton;
  event->accept();
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool wasPressed = FPressed;
  FPressed = false;
  if (wasPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
    if (OnClick) OnClick();
  }
}

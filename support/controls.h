// Small controls the support forms are built from.
#pragma once

#include <QImage>
#include <QLabel>
#include <QWidget>

#include <functional>

class QMouseEvent;

// A picture control: shows a QImage (stretched, proportional, centred as
// asked; transparent where the image is). Its picture can be painted on
// directly (Picture()) followed by update(). Mouse hooks as plain functions.
class TImage : public QWidget {
  Q_OBJECT
 public:
  explicit TImage(QWidget* parent = nullptr);

  QImage& Picture() { return FPicture; }
  const QImage& Picture() const { return FPicture; }
  void SetPicture(const QImage& image);

  bool Proportional = false;  // scale down to fit, keeping the aspect ratio
  bool Center = false;        // centre the picture in the control
  bool Stretch = false;       // scale to fill the control

  std::function<void()> OnClick;                        // press and release inside
  std::function<void(QMouseEvent*)> OnMouseDown;        // any button
  std::function<void(QMouseEvent*)> OnMouseMove;        // with tracking on

  // Where the picture lands in the control.
  QRect PictureRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QImage FPicture;
  bool FPressed = false;
};

// A label that reports clicks (press and release inside, left button).
class TClickLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TClickLabel(QWidget* parent = nullptr);
  explicit TClickLabel(const QString& text, QWidget* parent = nullptr);

  std::function<void()> OnClick;

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool FPressed = false;
};

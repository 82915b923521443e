#include "GraphicControl1.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPointer>

namespace {

// Enter and Escape for link buttons: a key the focused control left unused
// reaches its window; there the first active (or cancel) link button in child
// order takes it, as a dialog would for its default button.
class LinkButtonKeys : public QObject {
 public:
  static void Install() {
    static QPointer<LinkButtonKeys> instance;
    if (!instance && qApp) {
      instance = new LinkButtonKeys(qApp);
      qApp->installEventFilter(instance);
    }
  }

 protected:
  explicit LinkButtonKeys(QObject* parent) : QObject(parent) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto* window = static_cast<QWidget*>(watched);
    if (!window->isWindow()) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) return false;
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const bool escape = key->key() == Qt::Key_Escape;
    if (!enter && !escape) return false;
    // findChildren walks each parent's children in order, depth first.
    for (TLinkButton* button : window->findChildren<TLinkButton*>()) {
      if (button->window() != window) continue;
      if (!button->isEnabled() || !button->isVisible()) continue;
      if ((enter && button->IsActive()) || (escape && button->Cancel())) {
        button->click();
        return true;
      }
    }
    return false;
  }
};

// The platform's focus rectangle: every other pixel of the outline, inverted.
void DrawFocusRect(QPainter& painter, const QRect& rc) {
  if (rc.width() <= 0 || rc.height() <= 0) return;
  QVector<QPoint> points;
  const int l = rc.left(), t = rc.top(), r = rc.right(), b = rc.bottom();
  for (int x = l; x <= r; ++x) {
    if (((x - l) & 1) == 0) points << QPoint(x, t);
    if (b != t && ((x - l + b - t) & 1) == 0) points << QPoint(x, b);
  }
  for (int y = t + 1; y < b; ++y) {
    if (((y - t) & 1) == 0) points << QPoint(l, y);
    if (r != l && ((r - l + y - t) & 1) == 0) points << QPoint(r, y);
  }
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  if (painter.paintEngine() && painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes)) {
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1));
  } else {
    painter.setPen(QPen(Qt::black, 1));
  }
  painter.drawPoints(points.constData(), int(points.size()));
  painter.restore();
}

}  // namespace

TLinkButton::TLinkButton(QWidget* owner) : QPushButton(owner) { Init(); }

TLinkButton::TLinkButton(const QString& caption, QWidget* owner) : QPushButton(caption, owner) { Init(); }

TLinkButton::~TLinkButton() = default;

void TLinkButton::Init() {
  QFont f = font();
  f.setUnderline(true);
  f.setBold(false);
  f.setItalic(false);
  f.setStrikeOut(false);
  setFont(f);
  setCursor(Qt::PointingHandCursor);
  setFlat(true);
  setAutoDefault(false);
  setAttribute(Qt::WA_Hover, false);
  LinkButtonKeys::Install();
  connect(qApp, &QApplication::focusChanged, this, &TLinkButton::FocusChanged);
}

void TLinkButton::SetFontColor(const QColor& color) {
  if (color == FFontColor) return;
  FFontColor = color;
  update();
}

void TLinkButton::SetDefault(bool value) {
  FDefault = value;
}

void TLinkButton::FocusChanged(QWidget*, QWidget* now) {
  if (!now || now->window() != window()) return;
  const bool active = qobject_cast<QPushButton*>(now) ? now == this : FDefault;
  SetButtonStyle(active);
}

void TLinkButton::SetButtonStyle(bool ADefault) {
  if (ADefault == FIsActive) return;
  FIsActive = ADefault;
  repaint();
}

QRect TLinkButton::CaptionRect() const {
  const QFontMetrics fm(font());
  const int tw = fm.horizontalAdvance(text());
  const int th = fm.height();
  const int w = width();
  const int h = height();
  // C++ division truncates toward zero, as the layout rule wants.
  return QRect(QPoint((w - tw) / 2, (h - th) / 2), QPoint((w + tw) / 2 - 1, (h + th) / 2 - 1));
}

TOwnerDrawState TLinkButton::DrawState() const {
  TOwnerDrawState state = 0;
  if (isDown()) state |= odSelected;
  if (!isEnabled()) state |= odDisabled;
  if (hasFocus()) state |= odFocused;
  return state;
}

QSize TLinkButton::sizeHint() const {
  const QFontMetrics fm(font());
  return QSize(fm.horizontalAdvance(text()) + 8, fm.height() + 8);
}

void TLinkButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  FPainter = &painter;
  struct Reset {
    TLinkButton* self;
    ~Reset() { self->FPainter = nullptr; }
  } reset{this};

  const TOwnerDrawState state = DrawState();
  const bool focused = state & odFocused;
  const bool disabled = state & odDisabled;
  const QRect rc = rect();

  if (FIsActive || focused) DrawFocusRect(painter, rc);

  const QRect t = CaptionRect();
  painter.setFont(font());
  const QString caption = text();
  if (disabled) {
    // Embossed: a light copy one pixel down and right, the shadow on top.
    // Ampersands are shown as they are.
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
    const QRect at(t.topLeft(), QSize(qMax(t.width(), 1), qMax(t.height(), 1)));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawText(at.translated(1, 1), flags, caption);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawText(at, flags, caption);
  } else {
    painter.setPen(palette().color(QPalette::Active, QPalette::ButtonText));
    painter.drawText(t, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::TextDontClip,
                     caption);
  }

  if (OnDrawButton) {
    QPointer<TLinkButton> guard(this);
    painter.save();
    OnDrawButton(this, t, state);
    if (!guard) return;
    painter.restore();
  }

  if (focused && !disabled) {
    const QRect outline(QPoint(t.left(), t.top() - 2), QPoint(t.right(), t.bottom() + 2));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(128, 128, 128), 1, Qt::DotLine));
    // A stroked QRect covers one pixel more than the rectangle.
    painter.drawRect(outline.adjusted(0, 0, -1, -1));
  }
}

void TLinkButton::changeEvent(QEvent* event) {
  QPushButton::changeEvent(event);
  if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange) update();
}

void TLinkButton::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))) {
    // The focused push button is the active one.
    if (isEnabled()) click();
    event->accept();
    return;
  }
  QPushButton::keyPressEvent(event);
}

void TLinkButton::mouseDoubleClickEvent(QMouseEvent* event) {
  // A second press: with its release, a double click gives two clicks.
  mousePressEvent(event);
}

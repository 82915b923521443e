// TLinkButton: a push button that looks like a hyperlink.
//
// It paints no face and no border, only its caption, centred and underlined,
// always in the palette's button-text colour (the font colour is kept, and a
// change of it repaints, but it is never used for the caption). Everything
// else is QPushButton's: focus, click by mouse, Space, accelerator.
//
// "Active" means: this is the button Enter would press. While the keyboard
// focus is on a push button, only that button is active; otherwise every link
// button whose Default() is true is active. An active button shows a dotted
// focus rectangle on its client edges; a focused, enabled one also shows a grey
// dotted outline around its caption. Enter (no Shift/Ctrl/Alt) anywhere in the
// window presses the first active, enabled, visible link button in the
// window's child order (depth first); Escape presses the first one whose
// Cancel() is true.
#pragma once

#include <QColor>
#include <QPushButton>
#include <QRect>

#include <cstdint>
#include <functional>

// Owner-draw state: bit i is element i of the list below (the platform's
// owner-draw item state, low 16 bits).
using TOwnerDrawState = std::uint16_t;
enum : TOwnerDrawState {
  odSelected = 1u << 0,
  odGrayed = 1u << 1,
  odDisabled = 1u << 2,   // ODS_DISABLED, 4
  odChecked = 1u << 3,
  odFocused = 1u << 4,    // ODS_FOCUS, 16
  odDefault = 1u << 5,
  odHotLight = 1u << 6,
  odInactive = 1u << 7,
  odNoAccel = 1u << 8,
  odNoFocusRect = 1u << 9,
  odReserved1 = 1u << 10,
  odReserved2 = 1u << 11,
};

// Owner's paint hook: the control, the caption rectangle (a copy, relative to
// the client origin) and the owner-draw state of this paint. Called once per
// paint, after the caption and before the focus outline, with an active
// QPainter on the control (see TLinkButton::CurrentPainter()).
using TDrawButtonEvent = std::function<void(QWidget* Control, QRect Rect, TOwnerDrawState State)>;

class TLinkButton : public QPushButton {
  Q_OBJECT
  Q_PROPERTY(QColor fontColor READ FontColor WRITE SetFontColor)
 public:
  explicit TLinkButton(QWidget* owner = nullptr);
  explicit TLinkButton(const QString& caption, QWidget* owner = nullptr);
  ~TLinkButton() override;

  // Owner's paint hook; unassigned by default.
  TDrawButtonEvent OnDrawButton;

  // True while this button is the one Enter would press (see above).
  bool IsActive() const { return FIsActive; }

  // The font colour (blue by default). Setting it repaints; the caption is
  // still drawn in the button-text colour.
  QColor FontColor() const { return FFontColor; }
  void SetFontColor(const QColor& color);

  // Default button: active while the focus is not on a push button. True by
  // default. (Independent of QPushButton::isDefault, which in a QDialog
  // allows only one default button at a time.)
  bool Default() const { return FDefault; }
  void SetDefault(bool value);

  // Cancel button: pressed by Escape. False by default.
  bool Cancel() const { return FCancel; }
  void SetCancel(bool value) { FCancel = value; }

  // The caption rectangle of the current size, font and caption: the caption
  // measured with the control's font, centred in the client area; may extend
  // past it (negative left/top) when the caption is larger.
  QRect CaptionRect() const;

  // The owner-draw state the next paint would use (odSelected while pressed,
  // odDisabled while disabled, odFocused while focused).
  TOwnerDrawState DrawState() const;

  // The painter of the paint in progress (inside OnDrawButton), else nullptr.
  QPainter* CurrentPainter() const { return FPainter; }

  QSize sizeHint() const override;

 protected:
  // The toolkit's default-style hook: stores the flag and repaints at once
  // when it changes. Called on every focus change within the window.
  virtual void SetButtonStyle(bool ADefault);

  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void Init();
  void FocusChanged(QWidget* old, QWidget* now);

  bool FIsActive = false;
  bool FDefault = true;
  bool FCancel = false;
  QColor FFontColor{0, 0, 255};
  QPainter* FPainter = nullptr;
};

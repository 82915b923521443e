#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "GraphicControl1.h"

namespace {

const QColor kBackground(255, 255, 255);
const QColor kButtonText(0, 128, 0);

// A window with a known background and button-text colour.
std::unique_ptr<QWidget> MakeWindow() {
  auto window = std::make_unique<QWidget>();
  QPalette pal = window->palette();
  for (auto g : {QPalette::Active, QPalette::Inactive}) {
    pal.setColor(g, QPalette::Window, kBackground);
    pal.setColor(g, QPalette::ButtonText, kButtonText);
  }
  window->setPalette(pal);
  window->setAutoFillBackground(true);
  window->resize(300, 200);
  return window;
}

QImage Shot(QWidget* window, QWidget* part) {
  return window->grab(part->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
}

bool ShowAndActivate(QWidget* window) {
  window->show();
  QApplication::setActiveWindow(window);
  window->activateWindow();
  return QTest::qWaitForWindowActive(window, 2000);
}

int CountColour(const QImage& image, const QColor& colour, const QRect& area) {
  int n = 0;
  for (int y = std::max(area.top(), 0); y <= std::min(area.bottom(), image.height() - 1); ++y)
    for (int x = std::max(area.left(), 0); x <= std::min(area.right(), image.width() - 1); ++x)
      if (image.pixelColor(x, y) == colour) ++n;
  return n;
}

// Bounding box of every pixel that differs from the background.
QRect InkBox(const QImage& image) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) != kBackground) box |= QRect(x, y, 1, 1);
  return box;
}

}  // namespace

// The caption is centred on the client origin with truncating division, and
// may stick out of a small control.
TEST(LinkButton, CaptionRectangle) {
  struct Case {
    QSize size;
    QString caption;
  };
  const std::vector<Case> cases = {
      {{100, 30}, QStringLiteral("Save Comment")},
      {{101, 31}, QStringLiteral("Exit")},
      {{10, 5}, QStringLiteral("A caption far wider than the control")},
      {{11, 6}, QStringLiteral("Wide caption, odd difference")},
      {{40, 20}, QString()},
  };
  for (const Case& c : cases) {
    TLinkButton button(c.caption);
    button.resize(c.size);
    const QFontMetrics fm(button.font());
    const int tw = fm.horizontalAdvance(c.caption);
    const int th = fm.height();
    const QRect t = button.CaptionRect();
    SCOPED_TRACE(c.caption.toStdString());
    EXPECT_EQ(t.width(), (c.size.width() + tw) / 2 - (c.size.width() - tw) / 2);
    EXPECT_EQ(t.height(), (c.size.height() + th) / 2 - (c.size.height() - th) / 2);
    // Centred: the two margins differ by at most one pixel.
    EXPECT_LE(std::abs(t.left() - (c.size.width() - 1 - t.right())), 1);
    if (tw > c.size.width()) {
      EXPECT_LT(t.left(), 0);
      // Truncation toward zero: -(d / 2) for a difference d, never rounding down.
      EXPECT_EQ(t.left(), -((tw - c.size.width()) / 2));
    }
  }
}

// The caption shows in the button-text colour whatever the font colour, and
// inside the caption rectangle.
TEST(LinkButton, CaptionColourRule) {
  auto window = MakeWindow();
  auto* button = new TLinkButton(QStringLiteral("About"), window.get());
  button->setGeometry(20, 20, 120, 40);
  button->SetDefault(false);
  for (const QColor& font : {QColor(0, 0, 255), QColor(255, 0, 0), QColor(128, 0, 128)}) {
    button->SetFontColor(font);
    const QImage shot = Shot(window.get(), button);
    SCOPED_TRACE(font.name().toStdString());
    EXPECT_EQ(CountColour(shot, font, shot.rect()), 0);
    EXPECT_GT(CountColour(shot, kButtonText, shot.rect()), 10);
    const QRect ink = InkBox(shot);
    ASSERT_FALSE(ink.isNull());
    const QRect t = button->CaptionRect();
    EXPECT_TRUE(t.adjusted(-1, -1, 1, 1).contains(ink)) << "ink outside the caption rectangle";
  }
}

TEST(LinkButton, DisabledCaptionIsEmbossedWithoutOutline) {
  auto window = MakeWindow();
  auto* button = new TLinkButton(QStringLiteral("Save && Close"), window.get());
  button->setGeometry(10, 10, 160, 40);
  button->SetDefault(false);
  button->setEnabled(false);
  const QImage shot = Shot(window.get(), button);
  const QColor light = button->palette().color(QPalette::Disabled, QPalette::Light);
  const QColor dark = button->palette().color(QPalette::Disabled, QPalette::Dark);
  EXPECT_EQ(CountColour(shot, kButtonText, shot.rect()), 0);
  EXPECT_GT(CountColour(shot, dark, shot.rect()), 10);
  if (light != kBackground) {
    EXPECT_GT(CountColour(shot, light, shot.rect()), 10);
  }
  if (dark != QColor(128, 128, 128)) {
    EXPECT_EQ(CountColour(shot, QColor(128, 128, 128), shot.rect()), 0);
  }
}

// Active and focus marks follow the focus; Enter presses the first active
// link button; a double click gives two clicks.
class LinkButtonWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    window = MakeWindow();
    edit = new QLineEdit(window.get());
    edit->setGeometry(10, 10, 100, 24);
    disabledLink = new TLinkButton(QStringLiteral("Disabled"), window.get());
    disabledLink->setGeometry(10, 40, 100, 30);
    disabledLink->setEnabled(false);
    linkA = new TLinkButton(QStringLiteral("Save"), window.get());
    linkA->setGeometry(10, 80, 100, 30);
    linkB = new TLinkButton(QStringLiteral("Help"), window.get());
    linkB->setGeometry(120, 80, 100, 30);
    linkB->SetDefault(false);
    plain = new QPushButton(QStringLiteral("Plain"), window.get());
    plain->setGeometry(10, 120, 100, 30);
    ASSERT_TRUE(ShowAndActivate(window.get()));
  }
  void Focus(QWidget* w) {
    w->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
  }
  std::unique_ptr<QWidget> window;
  QLineEdit* edit = nullptr;
  TLinkButton* disabledLink = nullptr;
  TLinkButton* linkA = nullptr;
  TLinkButton* linkB = nullptr;
  QPushButton* plain = nullptr;
};

TEST_F(LinkButtonWindow, ActiveFollowsFocus) {
  struct Step {
    QWidget* focus;
    bool a, b;
  };
  const std::vector<Step> steps = {
      {edit, true, false},   // not a push button: the Default ones are active
      {linkB, false, true},  // a focused link button alone is active
      {plain, false, false}, // another push button takes it
      {linkA, true, false},
      {edit, true, false},
  };
  for (const Step& s : steps) {
    Focus(s.focus);
    SCOPED_TRACE(s.focus->objectName().toStdString() + " " + s.focus->metaObject()->className());
    EXPECT_EQ(linkA->IsActive(), s.a);
    EXPECT_EQ(linkB->IsActive(), s.b);
  }
}

TEST_F(LinkButtonWindow, FocusRectangleAndOutline) {
  Focus(edit);
  // Active, not focused: inverted dots on the client edges, no grey outline.
  QImage shot = Shot(window.get(), linkA);
  EXPECT_EQ(shot.pixelColor(0, 0), QColor(0, 0, 0));  // white inverted
  EXPECT_EQ(shot.pixelColor(1, 0), kBackground);      // dotted
  EXPECT_EQ(shot.pixelColor(shot.width() - 1 - ((shot.width() - 1) & 1), 0), QColor(0, 0, 0));
  EXPECT_EQ(CountColour(shot, QColor(128, 128, 128), shot.rect()), 0);
  // Not active: nothing on the edges.
  shot = Shot(window.get(), linkB);
  EXPECT_EQ(CountColour(shot, QColor(0, 0, 0), QRect(0, 0, shot.width(), 1)), 0);

  // Focused: both marks; the outline runs two pixels above the caption.
  Focus(linkB);
  shot = Shot(window.get(), linkB);
  EXPECT_EQ(shot.pixelColor(0, 0), QColor(0, 0, 0));
  const QRect t = linkB->CaptionRect();
  EXPECT_GT(CountColour(shot, QColor(128, 128, 128), QRect(t.left(), t.top() - 2, t.width(), 1)), 3);
  EXPECT_GT(CountColour(shot, QColor(128, 128, 128), QRect(t.left(), t.bottom() + 2, t.width(), 1)), 3);
  EXPECT_EQ(CountColour(shot, QColor(128, 128, 128), QRect(0, t.top() - 4, shot.width(), 1)), 0);
}

TEST_F(LinkButtonWindow, EnterPressesFirstActiveEnabledLink) {
  QSignalSpy a(linkA, &QPushButton::clicked);
  QSignalSpy b(linkB, &QPushButton::clicked);
  QSignalSpy off(disabledLink, &QPushButton::clicked);
  Focus(edit);
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(off.count(), 0);  // passed over: disabled
  EXPECT_EQ(a.count(), 1);
  EXPECT_EQ(b.count(), 0);
  // With Ctrl nothing is pressed.
  QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(a.count(), 1);
  // The focused link button takes Enter itself.
  Focus(linkB);
  QTest::keyClick(linkB, Qt::Key_Enter);
  EXPECT_EQ(a.count(), 1);
  EXPECT_EQ(b.count(), 1);
  // A plain push button with the focus leaves every link inactive.
  Focus(plain);
  QTest::keyClick(plain, Qt::Key_Return);
  EXPECT_EQ(a.count() + b.count(), 2);
}

TEST_F(LinkButtonWindow, EscapePressesCancelLink) {
  linkB->SetCancel(true);
  QSignalSpy b(linkB, &QPushButton::clicked);
  Focus(edit);
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_EQ(b.count(), 1);
}

TEST_F(LinkButtonWindow, DoubleClickGivesTwoClicks) {
  QSignalSpy a(linkA, &QPushButton::clicked);
  // Through the window, as the platform delivers it: press, release, press,
  // release, with the double click made by the toolkit.
  QWindow* handle = window->windowHandle();
  ASSERT_NE(handle, nullptr);
  QTest::mouseDClick(handle, Qt::LeftButton, Qt::NoModifier, linkA->geometry().center());
  QApplication::processEvents();
  EXPECT_EQ(a.count(), 2);
}

TEST_F(LinkButtonWindow, DrawButtonHookOncePerPaintWithState) {
  struct Call {
    QWidget* control;
    QRect rect;
    TOwnerDrawState state;
    bool painter;
  };
  std::vector<Call> calls;
  for (TLinkButton* link : {linkA, disabledLink}) {
    link->OnDrawButton = [&calls, link](QWidget* c, QRect r, TOwnerDrawState s) {
      calls.push_back({c, r, s, link->CurrentPainter() != nullptr});
      r.adjust(5, 5, 5, 5);  // a copy: no effect on the control
    };
  }
  Focus(linkA);
  calls.clear();
  linkA->repaint();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].control, linkA);
  EXPECT_EQ(calls[0].rect, linkA->CaptionRect());
  EXPECT_TRUE(calls[0].state & odFocused);
  EXPECT_FALSE(calls[0].state & odDisabled);
  EXPECT_TRUE(calls[0].painter);

  calls.clear();
  disabledLink->repaint();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].control, disabledLink);
  EXPECT_TRUE(calls[0].state & odDisabled);
  EXPECT_FALSE(calls[0].state & odFocused);

  // The owner paints over the finished link.
  linkA->OnDrawButton = [this](QWidget*, QRect r, TOwnerDrawState) {
    linkA->CurrentPainter()->fillRect(QRect(r.topLeft(), QSize(3, 3)), QColor(200, 0, 200));
  };
  const QImage shot = Shot(window.get(), linkA);
  EXPECT_EQ(shot.pixelColor(linkA->CaptionRect().topLeft() + QPoint(1, 1)), QColor(200, 0, 200));
}

TEST_F(LinkButtonWindow, FontColourChangeRepaintsOnly) {
  Focus(edit);
  int paints = 0;
  linkA->OnDrawButton = [&paints](QWidget*, QRect, TOwnerDrawState) { ++paints; };
  linkA->SetFontColor(QColor(255, 0, 0));
  QApplication::processEvents();
  QTest::qWait(20);
  EXPECT_GE(paints, 1);
  EXPECT_EQ(linkA->FontColor(), QColor(255, 0, 0));
}

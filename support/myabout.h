// The about box and the start-up splash: a borderless, rounded, always-on-top
// card of 434 x 331 pixels showing an about-info record.
//
// Both entry points are modal and return once the card has closed. The card
// closes on its close picture, Escape, a press outside the title link, or (the
// splash) after 3000 ms; it then fades for about a second and deletes itself:
// callers never free it.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QString>

#include "myabout_donation.h"
#include "orvolib.h"

class QLabel;
class QPlainTextEdit;
class QListWidget;
class QTimer;
class TImage;
class TClickLabel;

// The modal about box. Translates the card first when Info.Translate is set.
// True when closed with OK, which every way of closing gives.
bool ShowAboutBox(TAboutInfo Info);

// The start-up splash: no close picture, no translation, closes itself after
// 3000 ms (earlier on Escape or a press). Returns true once it has closed.
bool ShowSplash(TAboutInfo Info);

class TTMyAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TTMyAbout(QWidget* parent = nullptr);
  ~TTMyAbout() override;

  // Shows the record on the card (title, subtitle, labels, flags, hint).
  void ApplyAboutInfo(const TAboutInfo& Info);

  // Components, as on the form.
  TImage* Image1 = nullptr;          // the painted card, title and scroller
  TImage* Image2 = nullptr;          // maker's logo
  QListWidget* ListBox1 = nullptr;   // credits roles (invisible)
  QTimer* Timer1 = nullptr;          // scroller step, 55 ms
  QTimer* Timer2 = nullptr;          // splash end, 3000 ms
  QLabel* Label2 = nullptr;          // "Build: " + version
  TClickLabel* Label3 = nullptr;     // maker's web address
  TClickLabel* Label4 = nullptr;     // "mailto: " + maker's mail address
  QLabel* Label1 = nullptr;          // description
  QLabel* RightsLabel = nullptr;     // rights notice
  QPlainTextEdit* Memo1 = nullptr;   // legal notice
  TClickLabel* Label6 = nullptr;     // "Show Authors" (invisible)
  TClickLabel* Label5 = nullptr;     // product's web address
  TImage* Image3 = nullptr;          // close picture, Tag 65002
  TImage* Image4 = nullptr;          // donation picture, Tag 65001
  QTimer* Timer3 = nullptr;          // fade and release, 20 ms
  TImage* Image5 = nullptr;          // quality seal

  // The credits picture (195 wide, 30 rows per role).
  const QImage& AuthorsBitmap() const { return FAuthors; }
  // The title rectangle (hot area of the title link) and the kept link/item.
  QRect TitleRect() const { return FTitleRect; }
  QString TitleLink() const { return FTitleLink; }
  QString DonationItem() const { return FDonationItem; }
  // Current fade level (255 until closing, then down by 5 per step).
  int AlphaBlendValue() const { return FAlpha; }

  // The scroller offset shared by all boxes of the process.
  static int ScrollerOffset();
  static void SetScrollerOffset(int offset);

  // Handlers, as bound on the form.
  void FormCreate();
  void FormHide();
  void FormClose();
  void Image1MouseDown(const QPoint& pos);
  void Image1MouseMove(const QPoint& pos);
  void Label3Click(TClickLabel* sender);
  void Label6Click();
  void Image4Click();
  void Image5Click();
  void Timer1Timer();
  void Timer2Timer();
  void Timer3Timer();

  void reject() override;  // Escape and the window manager's close

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void DrawTitle(const QColor& color);
  void UpdateMask();

  QImage FAuthors;
  QString FTitleLink;
  QRect FTitleRect;
  QString FTitleCaption;
  QString FDonationItem;
  bool FHideAttached = true;
  bool FConfined = false;
  bool FDoubleBuffered = false;
  int FAlpha = 255;
};

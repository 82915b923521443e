// The about card's handlers: the mouse, keys and links, and closing with its
// fade.
#include "myabout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>

#include "controls.h"
#include "myabout_donation.h"
#include "myabout_tables.h"

using namespace about;

void TTMyAbout::Image1MouseMove(const QPoint& pos) {
  FDoubleBuffered = true;  // Qt paints through a back buffer anyway
  const bool hot = !FTitleLink.isEmpty() && FTitleRect.contains(pos);
  if (hot) Image1->setCursor(Qt::PointingHandCursor);
  else Image1->unsetCursor();
  DrawTitle(hot ? QColor(0, 255, 255) : QColor(255, 255, 0));
  Image1->update(FTitleRect.adjusted(-4, -4, 4, 4));
}

void TTMyAbout::Image1MouseDown(const QPoint& pos) {
  if (!FTitleLink.isEmpty() && FTitleRect.contains(pos)) {
    OpenDocument(this, FTitleLink);
  } else {
    FormHide();
  }
}

void TTMyAbout::Label3Click(TClickLabel* sender) { OpenLabelLink(sender); }

void TTMyAbout::Image5Click() { OpenDocument(this, QString::fromLatin1(kQualityAddress)); }

void TTMyAbout::Image4Click() {
  const QString page = WriteDonationPage(FDonationItem);
  if (!page.isEmpty()) OpenDocument(this, page);
}

void TTMyAbout::Label6Click() {
  FConfined = true;
  Memo1->hide();
  Timer1->start();
  Label6->hide();
}


void TTMyAbout::Timer2Timer() {
  Timer2->stop();
  FormHide();
}

void TTMyAbout::FormHide() {
  if (!FHideAttached) return;
  FHideAttached = false;
  FAlpha = 255;
  setWindowOpacity(1.0);
  setResult(QDialog::Accepted);
  Timer3->start();
  FormClose();
  done(QDialog::Accepted);
}

void TTMyAbout::FormClose() {
  setResult(QDialog::Accepted);
  while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void TTMyAbout::Timer3Timer() {
  FAlpha -= 5;
  if (FAlpha <= 0) {
    FAlpha = 0;
    Timer3->stop();
    Timer1->stop();
    deleteLater();
    return;
  }
  setWindowOpacity(FAlpha / 255.0);
}

void TTMyAbout::reject() { FormHide(); }

void TTMyAbout::showEvent(QShowEvent* event) {
  Timer3->stop();
  if (QScreen* screen = this->screen()) {
    const QRect area = screen->geometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  QDialog::showEvent(event);
}

void TTMyAbout::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (!event->spontaneous()) FormHide();
}

void TTMyAbout::closeEvent(QCloseEvent* event) {
  FormHide();
  event->accept();
}

void TTMyAbout::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_F3:
      Label6Click();
      break;
    case Qt::Key_Escape:
      FormHide();
      break;
    default:
      break;
  }
  event->accept();
}

// A press the controls left unused arrives here. Only one on the card itself
// (or on a disabled control, which lets the press through) counts: a press on
// a label or picture without a handler does nothing.
void TTMyAbout::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  QWidget* under = childAt(pos);
  if (under && under != Image1 && under->isEnabled()) return;
  Image1MouseDown(pos);
}

// Keys reach the form before its controls.
bool TTMyAbout::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched != this) {
    keyPressEvent(static_cast<QKeyEvent*>(event));
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

// Shows the start-up splash ("splash") or the about box with its credits
// running ("about") so the card can be looked at on a display.
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

#include "myabout.h"
#include "orvolib.h"

namespace {
QPixmap AppIcon() {
  QPixmap pixmap(48, 48);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(32, 96, 160));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(2, 2, 44, 44), 8, 8);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(24, 20), 7, 9);
  p.drawRect(QRectF(22, 29, 4, 8));
  p.drawRect(QRectF(16, 36, 16, 3));
  return pixmap;
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  InitStartupSettings();
  const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("splash");
  TAboutInfo info;
  info.Title = QStringLiteral("Varnelo");
  info.Description = QStringLiteral("Adds voice recorded comments to medical images.");
  info.RightsNotice = QStringLiteral("Copyright \u00a9 2026 The Varnelo team");
  info.Logo = AppIcon();
  info.ShowProductLink = true;
  info.TitleLink = QStringLiteral("https://varnelo.example/app");
  info.ShowDonation = true;
  if (argc > 2) info.SubTitle = QString::fromLocal8Bit(argv[2]);
  if (mode == QLatin1String("about")) {
    // Start the credits as F3 would, once the box is up.
    QTimer::singleShot(300, [] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        QKeyEvent f3(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
        QApplication::sendEvent(box, &f3);
      }
    });
    return ShowAboutBox(info) ? 0 : 1;
  }
  return ShowSplash(info) ? 0 : 1;
}

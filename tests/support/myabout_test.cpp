#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "controls.h"
#include "langsupp.h"
#include "myabout.h"

namespace {

struct OpenerScope {
  explicit OpenerScope(TDocumentOpener o) { previous = SetDocumentOpener(std::move(o)); }
  ~OpenerScope() { SetDocumentOpener(previous); }
  TDocumentOpener previous;
};

TAboutInfo MainWindowInfo() {
  TAboutInfo info;
  info.Title = QStringLiteral("Varnelo");
  info.Description = QStringLiteral("Adds voice recorded comments to medical images.");
  info.RightsNotice = QStringLiteral("Copyright 2026 The Varnelo team");
  info.ShowProductLink = true;
  info.TitleLink = QStringLiteral("https://varnelo.example.org/varnelo");
  info.ShowDonation = true;
  return info;
}

// Waits until the box has released itself.
bool WaitDestroyed(QPointer<TTMyAbout>& box, int ms) {
  QElapsedTimer t;
  t.start();
  while (box && t.elapsed() < ms) {
    QTest::qWait(10);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  return !box;
}

bool Near(QColor a, QColor b, int tolerance = 3) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace

TEST(Donation, FormUrlEncoding) {
  struct Case {
    QString item;
    QString encoded;
  };
  const std::vector<Case> cases = {
      {"Varnelo ", "Varnelo+"},  // empty subtitle: the title and one blank
      {"Varnelo Pro 2", "Varnelo+Pro+2"},
      {"AZaz09@*._-$!'()", "AZaz09@*._-$!'()"},
      {"a/b&c=d+e%f~g#h", "a%2fb%26c%3dd%2be%25f%7eg%23h"},
      {QStringLiteral("Caf\u00e9 \u20ac\u00ff"), "Caf%e9+%80%ff"},
      {"\t\n:;,", "%09%0a%3a%3b%2c"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(DonationUrlEncode(c.item), c.encoded) << c.item.toStdString();
  EXPECT_EQ(DonationBody(QStringLiteral("Varnelo ")),
            QStringLiteral("cmd=%1&hosted_button_id=%2&item_name=Varnelo+")
                .arg(QString::fromLatin1(DonationCommand), QString::fromLatin1(DonationButtonId)));
}

TEST(Donation, PageIsWrittenAndOpened) {
  TTMyAbout* box = new TTMyAbout;
  QPointer<TTMyAbout> guard(box);
  TAboutInfo info = MainWindowInfo();
  info.SubTitle = QStringLiteral("<Pro> & \"More\"");
  box->ApplyAboutInfo(info);
  EXPECT_EQ(box->DonationItem(), QStringLiteral("Varnelo <Pro> & \"More\""));
  QString opened;
  QWidget* owner = nullptr;
  {
    OpenerScope scope([&](QWidget* w, const QString& t) {
      owner = w;
      opened = t;
      return true;
    });
    box->Image4Click();
  }
  EXPECT_EQ(owner, box);
  ASSERT_FALSE(opened.isEmpty());
  QFile page(opened);
  ASSERT_TRUE(page.open(QIODevice::ReadOnly));
  const QString html = QString::fromLatin1(page.readAll());
  page.close();
  QFile::remove(opened);
  EXPECT_TRUE(html.contains(QStringLiteral("onload=\"document.forms[0].submit()\"")));
  EXPECT_TRUE(html.contains(QStringLiteral("method=\"post\"")));
  EXPECT_TRUE(html.contains(QStringLiteral("action=\"%1\"").arg(QString::fromLatin1(DonationAddress))));
  EXPECT_TRUE(html.contains(QStringLiteral("name=\"cmd\" value=\"%1\"").arg(QString::fromLatin1(DonationCommand))));
  EXPECT_TRUE(html.contains(QStringLiteral("name=\"hosted_button_id\" value=\"%1\"")
                                .arg(QString::fromLatin1(DonationButtonId))));
  // The item is escaped for HTML, never able to break out of its attribute.
  EXPECT_TRUE(html.contains(
      QStringLiteral("name=\"item_name\" value=\"Varnelo &lt;Pro&gt; &amp; &quot;More&quot;\"")));
  EXPECT_TRUE(html.contains(QStringLiteral("application/x-www-form-urlencoded")));
  delete box;
}

TEST(AboutBox, CardLayoutAndRecord) {
  auto* box = new TTMyAbout;
  EXPECT_EQ(box->size(), QSize(434, 331));
  EXPECT_TRUE(box->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(box->ListBox1->count(), 143);
  EXPECT_EQ(box->AuthorsBitmap().size(), QSize(195, 30 * 143));
  EXPECT_EQ(box->Label2->text(), QStringLiteral("Build: 0.9.3.0"));
  EXPECT_EQ(box->Memo1->toPlainText().split(u'\n').size(), 9);

  // Rounded see-through corners, gradient from peach to cream.
  const QImage& card = box->Image1->Picture();
  EXPECT_EQ(card.pixelColor(0, 0), QColor(0, 0, 128));
  EXPECT_EQ(card.pixelColor(433, 330), QColor(0, 0, 128));
  EXPECT_TRUE(Near(card.pixelColor(217, 2), QColor(255, 221, 187)));
  EXPECT_TRUE(Near(card.pixelColor(217, 327), QColor(255, 251, 240)));
  EXPECT_FALSE(box->mask().contains(QPoint(0, 0)));
  EXPECT_TRUE(box->mask().contains(QPoint(217, 165)));
  EXPECT_TRUE(box->mask().contains(QPoint(20, 1)));

  TAboutInfo info = MainWindowInfo();
  info.ShowProductLink = false;
  box->ApplyAboutInfo(info);
  EXPECT_EQ(box->windowTitle(), QStringLiteral(" Varnelo "));
  EXPECT_EQ(box->Label1->text(), info.Description);
  EXPECT_EQ(box->RightsLabel->text(), info.RightsNotice);
  EXPECT_EQ(box->Label2->text(), QStringLiteral("Build: 0.9.3.0"));
  EXPECT_EQ(box->Label2->x(), box->TitleRect().left());
  EXPECT_FALSE(box->Label5->isVisibleTo(box));
  EXPECT_TRUE(box->Image4->isVisibleTo(box));
  EXPECT_TRUE(box->Memo1->isVisibleTo(box));
  EXPECT_FALSE(box->Timer1->isActive());
  EXPECT_EQ(box->Image4->toolTip(),
            QStringLiteral("Support the further development and maintenance of Varnelo by making a donation."));
  // The title sits in a silver box, yellow on black.
  const QRect title = box->TitleRect();
  EXPECT_EQ(title.top(), 82);
  EXPECT_EQ(card.pixelColor(title.left() - 2, title.center().y()), QColor(192, 192, 192));
  bool yellow = false;
  for (int x = title.left(); x <= title.right() && !yellow; ++x)
    for (int y = 85; y < title.bottom() && !yellow; ++y) yellow = card.pixelColor(x, y) == QColor(255, 255, 0);
  EXPECT_TRUE(yellow);
  delete box;
}

TEST(AboutBox, BuildTextSubtitleAndHints) {
  auto* box = new TTMyAbout;
  box->Image4->setToolTip(QStringLiteral("$$ and $$"));
  TAboutInfo info;
  info.Title = QStringLiteral("T");
  info.BuildText = QStringLiteral("Build 7");
  info.ShowAuthors = true;
  // Far too long for the card at any size above the floor: must not hang.
  info.SubTitle = QString(400, u'W');
  box->ApplyAboutInfo(info);
  EXPECT_EQ(box->Image4->toolTip(), QStringLiteral("T and $$"));
  EXPECT_EQ(box->Label2->text(), QStringLiteral("Build 7"));
  EXPECT_FALSE(box->Image4->isVisibleTo(box));
  EXPECT_FALSE(box->Memo1->isVisibleTo(box));
  EXPECT_TRUE(box->Timer1->isActive());
  EXPECT_EQ(box->TitleLink(), QString());
  delete box;

  // A zero-filled record is valid; a hint without "$$" stays as it is.
  box = new TTMyAbout;
  box->Image4->setToolTip(QStringLiteral("no placeholder"));
  box->ApplyAboutInfo(TAboutInfo{});
  EXPECT_EQ(box->Image4->toolTip(), QStringLiteral("no placeholder"));
  EXPECT_EQ(box->DonationItem(), QStringLiteral(" "));
  EXPECT_EQ(DonationUrlEncode(box->DonationItem()), QStringLiteral("+"));
  delete box;
}

TEST(AboutBox, TranslatedHintsTakePlaceholder) {
  auto* box = new TTMyAbout;
  SetLanguageTableFolder(QString());
  TranslateForm(box);
  box->ApplyAboutInfo(MainWindowInfo());
  EXPECT_EQ(box->Image3->toolTip(), QStringLiteral("Close Window"));
  EXPECT_EQ(box->Image4->toolTip(),
            QStringLiteral("Support the further development and maintenance of Varnelo by making a donation."));
  delete box;
}

TEST(AboutBox, TitleLinkAndPresses) {
  QPointer<TTMyAbout> box = new TTMyAbout;
  box->ApplyAboutInfo(MainWindowInfo());
  QStringList opened;
  OpenerScope scope([&](QWidget*, const QString& t) {
    opened << t;
    return true;
  });
  const QRect title = box->TitleRect();
  box->Image1MouseMove(title.center());
  EXPECT_EQ(box->Image1->cursor().shape(), Qt::PointingHandCursor);
  box->Image1MouseMove(QPoint(5, 300));
  EXPECT_EQ(box->Image1->cursor().shape(), Qt::ArrowCursor);
  // Right and bottom edges are outside.
  box->Image1MouseDown(title.topLeft());
  box->Image1MouseDown(title.center());
  ASSERT_EQ(opened.size(), 2);
  EXPECT_EQ(opened[0], MainWindowInfo().TitleLink);
  EXPECT_FALSE(box->Timer3->isActive());
  box->Image1MouseDown(QPoint(title.right() + 1, title.center().y()));
  EXPECT_EQ(opened.size(), 2);
  EXPECT_TRUE(box->Timer3->isActive());  // closing
  EXPECT_EQ(box->result(), QDialog::Accepted);
  EXPECT_TRUE(WaitDestroyed(box, 5000));

  // Without a title link every press closes.
  box = new TTMyAbout;
  TAboutInfo info = MainWindowInfo();
  info.TitleLink.clear();
  box->ApplyAboutInfo(info);
  box->Image1MouseMove(box->TitleRect().center());
  EXPECT_NE(box->Image1->cursor().shape(), Qt::PointingHandCursor);
  box->Image1MouseDown(box->TitleRect().center());
  EXPECT_EQ(opened.size(), 2);
  EXPECT_TRUE(box->Timer3->isActive());
  EXPECT_TRUE(WaitDestroyed(box, 5000));
}

TEST(AboutBox, LinkLabelsTurnPurple) {
  auto* box = new TTMyAbout;
  box->ApplyAboutInfo(MainWindowInfo());
  QStringList opened;
  OpenerScope scope([&](QWidget*, const QString& t) {
    opened << t;
    return false;
  });
  box->Label3Click(box->Label4);
  EXPECT_EQ(opened.value(0), box->Label4->text());
  EXPECT_TRUE(box->Label4->text().startsWith(QStringLiteral("mailto: ")));
  EXPECT_EQ(LabelFontColor(box->Label4), QColor(128, 0, 128));
  EXPECT_EQ(LabelFontColor(box->Label3), QColor(0, 0, 255));
  delete box;
}

// The credits band: offset steps down by one, wraps to the bitmap height, and
// the two bands meet without a gap. The offset outlives the box.
TEST(AboutBox, ScrollerOffsetWrapsAndSurvivesSecondBox) {
  TTMyAbout::SetScrollerOffset(0);
  QPointer<TTMyAbout> box = new TTMyAbout;
  box->ApplyAboutInfo(MainWindowInfo());
  QKeyEvent f3(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
  QApplication::sendEvent(box, &f3);
  EXPECT_TRUE(box->Timer1->isActive());
  EXPECT_FALSE(box->Memo1->isVisibleTo(box));
  box->Timer1->stop();  // stepped by hand below
  const QImage& authors = box->AuthorsBitmap();
  const int bh = authors.height();
  const QPoint at = box->Memo1->pos();

  box->Timer1Timer();
  EXPECT_EQ(TTMyAbout::ScrollerOffset(), bh);
  box->Timer1Timer();
  EXPECT_EQ(TTMyAbout::ScrollerOffset(), bh - 1);
  // Window row r shows bitmap row (bh - offset + r).
  const QImage& card = box->Image1->Picture();
  for (int r : {5, 40, 100}) EXPECT_EQ(card.pixel(at.x() + 60, at.y() + r), authors.pixel(60, 1 + r)) << r;

  TTMyAbout::SetScrollerOffset(51);
  box->Timer1Timer();
  EXPECT_EQ(TTMyAbout::ScrollerOffset(), 50);
  // Rows 0-49: the tail of the list; rows 50 on: its start, no gap between.
  int differences = 0;
  for (int r = 0; r < 120; ++r) {
    const int source = r < 50 ? bh - 50 + r : r - 50;
    for (int x = 10; x < 190; x += 7)
      if (card.pixel(at.x() + x, at.y() + r) != authors.pixel(x, source)) ++differences;
  }
  EXPECT_EQ(differences, 0);

  box->FormHide();
  EXPECT_TRUE(WaitDestroyed(box, 5000));
  EXPECT_EQ(TTMyAbout::ScrollerOffset(), 50);

  box = new TTMyAbout;
  box->ApplyAboutInfo(MainWindowInfo());
  box->Label6Click();
  box->Timer1->stop();
  box->Timer1Timer();
  EXPECT_EQ(TTMyAbout::ScrollerOffset(), 49);
  TTMyAbout::SetScrollerOffset(1);
  box->Timer1Timer();
  box->Timer1Timer();
  EXPECT_EQ(TTMyAbout::ScrollerOffset(), bh);  // wrapped
  delete box;
}

TEST(AboutBox, SplashClosesItselfAndReleases) {
  QElapsedTimer timer;
  timer.start();
  QPointer<TTMyAbout> seen;
  bool closeHidden = false;
  QTimer::singleShot(200, [&] {
    seen = qobject_cast<TTMyAbout*>(QApplication::activeModalWidget());
    if (seen) closeHidden = !seen->Image3->isVisible();
  });
  EXPECT_TRUE(ShowSplash(MainWindowInfo()));
  const qint64 elapsed = timer.elapsed();
  EXPECT_GE(elapsed, 2900);
  EXPECT_LT(elapsed, 6000);
  ASSERT_TRUE(seen);
  EXPECT_TRUE(closeHidden);
  EXPECT_FALSE(seen->isVisible());
  // The fade takes 51 steps of 20 ms, then the box is gone.
  EXPECT_TRUE(WaitDestroyed(seen, 5000));
}

TEST(AboutBox, EscapeClosesAboutAndSplashEarly) {
  for (bool splash : {false, true}) {
    QElapsedTimer timer;
    timer.start();
    QTimer::singleShot(150, [] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box, &esc);
      }
    });
    TAboutInfo info = MainWindowInfo();
    info.Translate = true;
    const bool result = splash ? ShowSplash(info) : ShowAboutBox(info);
    EXPECT_TRUE(result);
    EXPECT_LT(timer.elapsed(), 2500) << (splash ? "splash" : "about");
  }
}

// Without a gradient routine the card is white inside its rounded outline.
TEST(AboutBox, WhiteCardWhenGradientFallsBack) {
  const TGradientFillProc saved = GradientFillProc;
  GradientFillProc = GradientFillWhite;
  auto* box = new TTMyAbout;
  GradientFillProc = saved;
  const QImage& card = box->Image1->Picture();
  EXPECT_EQ(card.pixelColor(217, 2), QColor(Qt::white));
  EXPECT_EQ(card.pixelColor(217, 320), QColor(Qt::white));
  EXPECT_EQ(card.pixelColor(0, 0), QColor(0, 0, 128));
  delete box;
}

// A press on a label does nothing; on the card, or through the disabled
// legal notice, it closes.
TEST(AboutBox, PressesOnControlsAndCard) {
  struct Case {
    const char* where;
    std::function<QWidget*(TTMyAbout*)> target;
    bool closes;
  };
  const std::vector<Case> cases = {
      {"description", [](TTMyAbout* b) -> QWidget* { return b->Label1; }, false},
      {"version label", [](TTMyAbout* b) -> QWidget* { return b->Label2; }, false},
      {"logo", [](TTMyAbout* b) -> QWidget* { return b->Image2; }, false},
      {"legal notice", [](TTMyAbout* b) -> QWidget* { return b->Memo1->viewport(); }, true},
      {"card", [](TTMyAbout* b) -> QWidget* { return b->Image1; }, true},
  };
  for (const Case& c : cases) {
    QPointer<TTMyAbout> box = new TTMyAbout;
    TAboutInfo info = MainWindowInfo();
    info.TitleLink.clear();
    box->ApplyAboutInfo(info);
    box->show();
    QWidget* target = c.target(box);
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    EXPECT_EQ(box->Timer3->isActive(), c.closes) << c.where;
    EXPECT_EQ(box->isVisible(), !c.closes) << c.where;
    delete box;
  }
}

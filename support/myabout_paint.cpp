// The about card's pictures: the card and its title, the credits scroller.
#include "myabout.h"

#include <QBitmap>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTimer>

#include "controls.h"
#include "myabout_draw.h"
#include "myabout_tables.h"

using namespace about;

namespace {

// The scroller offset, shared by every box of the process and kept between openings.
int gScrollerOffset = 0;

}  // namespace

int TTMyAbout::ScrollerOffset() { return gScrollerOffset; }
void TTMyAbout::SetScrollerOffset(int offset) { gScrollerOffset = offset; }

void TTMyAbout::FormCreate() {
  const int w = width();
  const int h = height();
  QImage card = NewCanvas(w, h, QImage::Format_RGB32, kNavy);
  {
    QPainter p(&card);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(QPoint(-1, -1), QPoint(w + 1, h + 1)), kNavy);

    // The card's shade, with a thin black outline, shows along the right and
    // bottom edges past the gradient.
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(palette().color(QPalette::Dark));
    p.drawPath(RoundRectPath(1, 1, w - 1, h - 1, 30));

    p.save();
    p.setClipPath(RoundRectPath(0, 0, w - 1, h - 1, 30));
    TTriVertex vertex[2];
    vertex[0].x = 0;
    vertex[0].y = 0;
    vertex[0].Red = 0xFFFF;
    vertex[0].Green = 0xDDDD;
    vertex[0].Blue = 0xBBBB;
    vertex[1].x = w;
    vertex[1].y = h;
    vertex[1].Red = 0xFFFF;
    vertex[1].Green = 0xFBFB;
    vertex[1].Blue = 0xF0F0;
    TGradientRect mesh;
    mesh.UpperLeft = 1;
    mesh.LowerRight = 0;
    GradientFillProc(&p, vertex, 2, &mesh, 1, GRADIENT_FILL_RECT_V);
    p.restore();
  }
  Image1->SetPicture(card);
  UpdateMask();

  // The credits: one 30-row entry per role, drawn once.
  const int roles = ListBox1->count();
  FAuthors = NewCanvas(195, 30 * roles, QImage::Format_RGB32, kCream);
  {
    QPainter p(&FAuthors);
    p.setPen(Qt::black);
    QFont bold = PointFont(QStringLiteral("Arial"), 9, true);
    QFont regular = PointFont(QStringLiteral("Arial"), 9, false);
    const QString name = QString::fromLatin1(kCreditsName);
    for (int i = 0; i < roles; ++i) {
      p.setFont(bold);
      p.drawText(QRect(5, 30 * i, 190, 15), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                 ListBox1->item(i)->text() + u':');
      p.setFont(regular);
      p.drawText(QRect(30, 30 * i + 15, 165, 15), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, name);
    }
  }

  QString version = QStringLiteral("0.0.0.0");
  try {
    version = ProgramVersionText();
  } catch (const EConvertError&) {
    // A key we wrote ourselves is always twelve digits; keep 0.0.0.0 otherwise.
  }
  Label2->setText(QStringLiteral("Build: ") + version);
  Label2->adjustSize();
}

void TTMyAbout::UpdateMask() {
  const QImage& card = Image1->Picture();
  setMask(QBitmap::fromImage(card.createMaskFromColor(kNavy.rgb(), Qt::MaskInColor)));
}

void TTMyAbout::ApplyAboutInfo(const TAboutInfo& Info) {
  const int w = width();
  QImage& canvas = Image1->Picture();
  {
    QPainter p(&canvas);
    if (!Info.Logo.isNull()) p.drawPixmap(QPoint(w - Info.Logo.width() - 20, 60), Info.Logo);

    FTitleCaption = QStringLiteral(" ") + Info.Title + QStringLiteral(" ");
    setWindowTitle(FTitleCaption);

    const QFont titleFont = PointFont(QStringLiteral("Arial"), 28, true);
    const QFontMetrics fm(titleFont, &canvas);
    const int tw = fm.horizontalAdvance(FTitleCaption);
    const int th = fm.height();

    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(192, 192, 192));
    const QRect box(QPoint((w - tw) / 2 - 3, 82), QPoint((w + tw) / 2 + 3 - 1, th + 88 - 1));
    p.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    FTitleRect = QRect(QPoint((w - tw) / 2, 82), QPoint((w + tw) / 2 - 1, th + 88 - 1));

    Label2->move((w - tw) / 2, Label2->y());

    // Subtitle: shrunk until it fits the card, down to one point at least.
    if (!Info.SubTitle.isEmpty()) {
      QFont sub = PointFont(QStringLiteral("Arial"), 24, false);
      int sw = QFontMetrics(sub, &canvas).horizontalAdvance(Info.SubTitle);
      while (sw > w && sub.pointSize() > 1) {
        sub.setPointSize(sub.pointSize() - 1);
        sw = QFontMetrics(sub, &canvas).horizontalAdvance(Info.SubTitle);
      }
      p.setFont(sub);
      p.setPen(Qt::black);
      p.drawText(QPoint((w - sw) / 2, 135 + QFontMetrics(sub, &canvas).ascent()), Info.SubTitle);
    }
  }
  DrawTitle(QColor(255, 255, 0));

  RightsLabel->setText(Info.RightsNotice);
  RightsLabel->adjustSize();
  Label1->setText(Info.Description);
  if (!Info.BuildText.isEmpty()) {
    Label2->setText(Info.BuildText);
    Label2->adjustSize();
  }

  Label5->setVisible(Info.ShowProductLink);
  if (Info.ShowAuthors) Timer1->start();
  else Timer1->stop();
  Memo1->setVisible(!Info.ShowAuthors);

  FTitleLink = Info.TitleLink;
  Image4->setVisible(Info.ShowDonation);

  QString hint = Image4->toolTip();
  const qsizetype at = hint.indexOf(QStringLiteral("$$"));
  if (at >= 0) hint.replace(at, 2, Info.Title);
  Image4->setToolTip(hint);

  FDonationItem = QStringLiteral("%1 %2").arg(Info.Title, Info.SubTitle);
  Image1->update();
}

void TTMyAbout::DrawTitle(const QColor& color) {
  QImage& canvas = Image1->Picture();
  QPainter p(&canvas);
  const QFont titleFont = PointFont(QStringLiteral("Arial"), 28, true);
  const QFontMetrics fm(titleFont, &canvas);
  const QRect cell(QPoint(FTitleRect.left(), 85), QSize(fm.horizontalAdvance(FTitleCaption), fm.height()));
  p.fillRect(cell, Qt::black);
  p.setFont(titleFont);
  p.setPen(color);
  p.drawText(QPoint(cell.left(), cell.top() + fm.ascent()), FTitleCaption);
}

void TTMyAbout::Timer1Timer() {
  const int bh = FAuthors.height();
  if (gScrollerOffset > 0) --gScrollerOffset;
  else gScrollerOffset = bh;
  // Past the end the list wraps to its start: the tail band sits on top of
  // the head band, so there is never a gap.
  const int left = Memo1->x();
  const int top = Memo1->y();
  {
    QPainter p(&Image1->Picture());
    if (FConfined) p.setClipPath(RoundRectPath(left, top, left + Memo1->width(), top + Memo1->height(), 10));
    CopyBand(p, FAuthors, bh - gScrollerOffset, 120, left, top);
    CopyBand(p, FAuthors, 0, 120, left, top + gScrollerOffset);
  }
  Image1->update();
}

// The about card laid out, and its two uses: the modal about box and the
// start-up splash.
#include "myabout.h"

#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTimer>

#include "controls.h"
#include "langsupp.h"
#include "myabout_draw.h"
#include "myabout_tables.h"
#include "mypictures.h"

using namespace about;

TTMyAbout::TTMyAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TMyAbout"));
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setModal(true);
  setFixedSize(kWidth, kHeight);
  setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, kNavy);
  setPalette(pal);
  setAutoFillBackground(true);

  Image1 = new TImage(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(0, 0, kWidth, kHeight);
  Image1->OnMouseDown = [this](QMouseEvent* e) { Image1MouseDown(e->position().toPoint()); };
  Image1->OnMouseMove = [this](QMouseEvent* e) { Image1MouseMove(e->position().toPoint()); };

  Image2 = new TImage(this);
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->setGeometry(16, 16, 137, 49);
  Image2->Proportional = true;
  Image2->SetPicture(DrawMakerLogo(QSize(137, 49)));

  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setGeometry(144, 208, 121, 97);
  ListBox1->setVisible(false);
  for (const char* role : CreditRoles()) ListBox1->addItem(QString::fromLatin1(role));

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(55);
  connect(Timer1, &QTimer::timeout, this, &TTMyAbout::Timer1Timer);

  Timer2 = new QTimer(this);
  Timer2->setObjectName(QStringLiteral("Timer2"));
  Timer2->setInterval(3000);
  Timer2->setTimerType(Qt::PreciseTimer);  // a coarse timer may fire up to 5 % early
  connect(Timer2, &QTimer::timeout, this, &TTMyAbout::Timer2Timer);

  Label2 = new QLabel(this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->move(136, 172);
  SetTransparent(Label2);

  Label3 = new TClickLabel(QString::fromLatin1(kMakerAddress), this);
  Label3->setObjectName(QStringLiteral("Label3"));
  Label3->move(24, 256);
  MakeLinkStyle(Label3);
  Label3->OnClick = [this] { Label3Click(Label3); };

  Label4 = new TClickLabel(QStringLiteral("mailto: ") + QString::fromLatin1(kMakerMail), this);
  Label4->setObjectName(QStringLiteral("Label4"));
  Label4->move(24, 280);
  MakeLinkStyle(Label4);
  Label4->OnClick = [this] { Label3Click(Label4); };

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(24, 192, 201, 57);
  Label1->setWordWrap(true);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label1->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 13));
  SetTransparent(Label1);

  RightsLabel = new QLabel(this);
  RightsLabel->setObjectName(QStringLiteral("RightsLabel"));
  RightsLabel->move(48, 312);
  RightsLabel->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 12));
  SetTransparent(RightsLabel);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(232, 176, 193, 129);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setReadOnly(true);
  Memo1->setEnabled(false);
  Memo1->setFont(PixelFont(QStringLiteral("Arial"), 11));
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);  // nine lines, as written
  {
    QPalette memoPal = Memo1->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
      memoPal.setColor(group, QPalette::Base, QColor(254, 251, 240));
    Memo1->setPalette(memoPal);
    QStringList lines;
    for (const char* line : LegalNotice()) lines << QString::fromLatin1(line);
    Memo1->setPlainText(lines.join(u'\n'));
  }

  Label6 = new TClickLabel(QStringLiteral("Show Authors"), this);
  Label6->setObjectName(QStringLiteral("Label6"));
  Label6->move(360, 152);
  Label6->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11, false, true));
  SetLabelFontColor(Label6, kLinkBlue);
  SetTransparent(Label6);
  Label6->setVisible(false);
  Label6->OnClick = [this] { Label6Click(); };

  Label5 = new TClickLabel(QString::fromLatin1(kProductAddress), this);
  Label5->setObjectName(QStringLiteral("Label5"));
  Label5->move(24, 232);
  MakeLinkStyle(Label5);
  Label5->setVisible(false);
  Label5->OnClick = [this] { Label3Click(Label5); };

  Image3 = new TImage(this);
  Image3->setObjectName(QStringLiteral("Image3"));
  Image3->setGeometry(400, 8, 25, 25);
  Image3->SetPicture(DrawClosePicture(QSize(25, 25)));
  Image3->setToolTip(QStringLiteral("Close Window"));
  SetComponentTag(Image3, 65002);
  Image3->OnClick = [this] { FormHide(); };

  Image4 = new TImage(this);
  Image4->setObjectName(QStringLiteral("Image4"));
  Image4->setGeometry(280, 16, 57, 32);
  Image4->SetPicture(DrawDonationPicture(QSize(57, 32)));
  Image4->setToolTip(
      QStringLiteral("Support the further development and maintenance of $$ by making a donation."));
  SetComponentTag(Image4, 65001);
  Image4->setCursor(Qt::PointingHandCursor);
  Image4->OnClick = [this] { Image4Click(); };

  // The embedded browser of the donation request has no counterpart here:
  // the request goes through a local page opened in the user's browser.

  Timer3 = new QTimer(this);
  Timer3->setObjectName(QStringLiteral("Timer3"));
  Timer3->setInterval(20);
  connect(Timer3, &QTimer::timeout, this, &TTMyAbout::Timer3Timer);

  Image5 = new TImage(this);
  Image5->setObjectName(QStringLiteral("Image5"));
  Image5->setGeometry(376, 304, 80, 29);
  Image5->Center = true;
  Image5->Proportional = true;
  Image5->SetPicture(DrawQualitySeal(QSize(80, 29)));
  Image5->setCursor(Qt::PointingHandCursor);
  Image5->OnClick = [this] { Image5Click(); };

  // Nothing on the card takes the focus: the form sees every key.
  for (QWidget* child : findChildren<QWidget*>()) {
    child->setFocusPolicy(Qt::NoFocus);
    child->installEventFilter(this);
  }
  setFocusPolicy(Qt::StrongFocus);

  FormCreate();
}

TTMyAbout::~TTMyAbout() = default;  // the authors bitmap goes with the box

bool ShowAboutBox(TAboutInfo Info) {
  auto* box = new TTMyAbout(nullptr);
  if (Info.Translate) TranslateForm(box);
  box->ApplyAboutInfo(Info);
  return box->exec() == QDialog::Accepted;
}

bool ShowSplash(TAboutInfo Info) {
  auto* box = new TTMyAbout(nullptr);
  box->Image3->setVisible(false);
  box->ApplyAboutInfo(Info);
  box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  box->Timer2->start();
  box->exec();
  return true;
}

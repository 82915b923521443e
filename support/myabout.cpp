#include "myabout.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryFile>
#include <QTimer>

#include <cstring>

#include "controls.h"
#include "langsupp.h"
#include "mypictures.h"

const char* const DonationAddress = "https://donate.varnelo.example/checkout";
const char* const DonationCommand = "_donation";
const char* const DonationButtonId = "VARNELO-2026";

namespace {

constexpr int kWidth = 434;
constexpr int kHeight = 331;
const QColor kNavy(0, 0, 128);
const QColor kCream(255, 251, 240);
const QColor kLinkBlue(0, 0, 255);
constexpr int kDotsPerMeter96 = 3780;  // 96 dpi: point sizes as the card was laid out

const char* const kMakerAddress = "https://www.varnelo.example";
const char* const kMakerMail = "team@varnelo.example";
const char* const kProductAddress = "https://varnelo.example/app";
const char* const kQualityAddress = "https://www.varnelo.example/quality";
const char* const kCreditsName = "The Varnelo team";

const char* const kLegalNotice[9] = {
    "This program is protected by",
    "copyright law and international",
    "treaties. Unauthorised copying",
    "or distribution of this program,",
    "or of any part of it, may result",
    "in severe civil and criminal",
    "penalties, and will be pursued",
    "to the maximum extent possible",
    "under the law.",
};

const char* const kRoles[] = {
    "Requirement Engineering", "Quality Engineering", "Testing", "Software Architecture",
    "Project Management", "Product Management", "User Interface Design", "User Research",
    "Graphic Design", "Icon Design", "Technical Writing", "Documentation",
    "Translation", "Localization", "Release Management", "Build Engineering",
    "Continuous Integration", "Packaging", "Installation", "Code Review",
    "Security Review", "Privacy Review", "Accessibility", "Performance Tuning",
    "Memory Profiling", "Static Analysis", "Fuzz Testing", "Unit Testing",
    "Integration Testing", "System Testing", "Acceptance Testing", "Regression Testing",
    "Usability Testing", "Beta Testing", "Test Automation", "Test Data",
    "Bug Triage", "Issue Tracking", "Support", "Customer Care",
    "Training", "Tutorials", "Help Desk", "Speech Recognition",
    "Speech Synthesis", "Audio Engineering", "Voice Recording", "DICOM Reading",
    "DICOM Writing", "Transfer Syntaxes", "Image Rendering", "Lossless JPEG",
    "RLE Decoding", "Colour Spaces", "Palette Colour", "Greyscale Scaling",
    "Image Preview", "File Browsing", "Header Summary", "Comment Editing",
    "Link Buttons", "About Box", "Splash Screen", "Credits Scroller",
    "Language Support", "String Tables", "Fonts", "Cursors",
    "Keyboard Handling", "Mouse Handling", "Focus Handling", "Timers",
    "Error Handling", "Error Messages", "Crash Analysis", "Debugging",
    "Refactoring", "Code Style", "Version Control",
    "Branch Management", "Infrastructure", "Servers",
    "Network Administration", "Web Site", "Web Design", "Web Hosting",
    "Mailing Lists", "Forum Moderation", "Community Management", "Social Media",
    "Marketing", "Sales", "Licensing", "Legal Advice",
    "Contracts", "Accounting", "Finance", "Controlling",
    "Purchasing", "Administration", "Office Management", "Human Resources",
    "Recruiting", "Facility Management", 
    "Travel Planning", "Events", "Trade Fairs", "Conferences",
    "Public Relations", "Press Releases", "Photography", "Video Production",
    "Screenshots", "Sound Effects", "Music", "Medical Advice",
    "Radiology Consulting", "Clinical Workflow", "Hospital Liaison", "Standards Liaison",
    "Regulatory Affairs", "Risk Management", "Compliance", "Data Protection",
    "Archiving", "Hardware Testing", "Compatibility Testing", "Display Calibration",
    "Microphone Testing", "Headset Testing", "Field Testing", "Pilot Users",
    "Feedback Collection", "Feature Requests", "Roadmap", "Planning",
    "Estimation", "Scheduling", "Metrics", "Statistics",
    "Process Improvement", "Presentations", "Newsletter",
};
static_assert(sizeof(kRoles) / sizeof(kRoles[0]) == 143, "the credits list 143 roles");

// The scroller offset, shared by every box of the process and kept between openings.
int gScrollerOffset = 0;

QFont PixelFont(const QString& family, int pixels, bool bold = false, bool underline = false) {
  QFont f(family);
  f.setPixelSize(pixels);
  f.setBold(bold);
  f.setUnderline(underline);
  return f;
}

QFont PointFont(const QString& family, int points, bool bold = false) {
  QFont f(family);
  f.setPointSize(points);
  f.setBold(bold);
  return f;
}

void SetTransparent(QLabel* label) {
  label->setAutoFillBackground(false);
  label->setAttribute(Qt::WA_TranslucentBackground);
}

void MakeLinkStyle(QLabel* label) {
  label->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 13, false, true));
  SetLabelFontColor(label, kLinkBlue);
  SetTransparent(label);
  label->setCursor(Qt::PointingHandCursor);
}

QImage NewCanvas(int w, int h, QImage::Format format, const QColor& fill) {
  QImage image(w, h, format);
  image.setDotsPerMeterX(kDotsPerMeter96);
  image.setDotsPerMeterY(kDotsPerMeter96);
  image.fill(fill);
  return image;
}

QPainterPath RoundRectPath(int left, int top, int right, int bottom, int ellipse) {
  QPainterPath path;
  path.addRoundedRect(QRectF(left, top, right - left, bottom - top), ellipse / 2.0, ellipse / 2.0);
  return path;
}

// Copies rows [from, from + rows) of the picture to (x, y); rows outside the
// picture are not drawn.
void CopyBand(QPainter& painter, const QImage& source, int from, int rows, int x, int y) {
  const int first = std::max(from, 0);
  const int last = std::min(from + rows, source.height());
  if (last <= first) return;
  painter.drawImage(QPoint(x, y + (first - from)), source, QRect(0, first, source.width(), last - first));
}

QString HtmlEscape(const QString& text) { return text.toHtmlEscaped(); }

}  // namespace

// ---------------------------------------------------------------------------

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
  for (const char* role : kRoles) ListBox1->addItem(QString::fromLatin1(role));

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
    for (const char* line : kLegalNotice) lines << QString::fromLatin1(line);
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

// ---------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------
// The donation request.

QString DonationUrlEncode(const QString& item) {
  static const char kHex[] = "0123456789abcdef";
  QString out;
  for (char ch : ToAnsi(item)) {
    const auto c = static_cast<unsigned char>(ch);
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      std::strchr("@*._-$!'()", c) != nullptr;
    if (c != 0 && keep) {
      out += QChar(c);
    } else if (c == ' ') {
      out += u'+';
    } else {
      out += u'%';
      out += QChar(kHex[c >> 4]);
      out += QChar(kHex[c & 15]);
    }
  }
  return out;
}

QString DonationBody(const QString& item) {
  return QStringLiteral("cmd=") + QString::fromLatin1(DonationCommand) + QStringLiteral("&hosted_button_id=") +
         QString::fromLatin1(DonationButtonId) + QStringLiteral("&item_name=") + DonationUrlEncode(item);
}

QString WriteDonationPage(const QString& item) {
  // The browser reads the page some time after we hand it over, so it
  // outlives the call; each new request replaces the previous page. The
  // name is random and the file created exclusively, as /tmp is shared.
  static QString previous;
  if (!previous.isEmpty()) QFile::remove(previous);
  previous.clear();
  const QString html =
      QStringLiteral(
          "<!DOCTYPE html>\n"
          "<html><head><meta charset=\"windows-1252\"><title>Donation</title></head>\n"
          "<body onload=\"document.forms[0].submit()\">\n"
          "<form method=\"post\" action=\"%1\" enctype=\"application/x-www-form-urlencoded\" "
          "accept-charset=\"windows-1252\" data-body=\"%5\">\n"
          "<input type=\"hidden\" name=\"cmd\" value=\"%2\">\n"
          "<input type=\"hidden\" name=\"hosted_button_id\" value=\"%3\">\n"
          "<input type=\"hidden\" name=\"item_name\" value=\"%4\">\n"
          "<noscript><input type=\"submit\" value=\"Continue\"></noscript>\n"
          "</form></body></html>\n")
          .arg(HtmlEscape(QString::fromLatin1(DonationAddress)), HtmlEscape(QString::fromLatin1(DonationCommand)),
               HtmlEscape(QString::fromLatin1(DonationButtonId)), HtmlEscape(item), HtmlEscape(DonationBody(item)));
  QTemporaryFile file(QDir(QDir::tempPath()).filePath(QStringLiteral("varnelo-donation-XXXXXX.html")));
  file.setAutoRemove(false);
  if (!file.open()) return {};
  const QByteArray bytes = ToAnsi(html);
  const bool written = file.write(bytes) == bytes.size() && file.flush();
  const QString path = file.fileName();
  file.close();
  if (!written) {
    QFile::remove(path);
    return {};
  }
  previous = path;
  return path;
}

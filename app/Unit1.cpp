#include "Unit1.h"

#include "ui_Unit1.h"

#include "ansitext.h"
#include "appcontrols.h"
#include "screencursor.h"

#include "GraphicControl1.h"
#include "myabout.h"
#include "orvolib.h"

#include "charset.h"
#include "loader.h"
#include "writer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTime>

#include <cctype>
#include <functional>

const QColor clRed(255, 0, 0);
const QColor clPurple(128, 0, 128);
const QColor clBlue(0, 0, 255);
const QColor clCream(255, 251, 240);

namespace {

const char* const kRightsNotice = "Copyright (C) 2026 The Varnelo team. All rights reserved.";
const char* const kProductAddress = "https://varnelo.example/app"; // as the about box shows it
const char* const kHelpText = "Sorry, Help is not yet available in this version.";

QFont FormFont(int PixelHeight)
{
    QFont F(QStringLiteral("MS Sans Serif"));
    F.setStyleHint(QFont::SansSerif);
    F.setPixelSize(PixelHeight);
    return F;
}

void Paint(QWidget* W, QPalette::ColorRole Role, const QColor& C)
{
    QPalette P = W->palette();
    P.setColor(Role, C);
    W->setPalette(P);
    if (Role == QPalette::Window)
        W->setAutoFillBackground(true);
}

// A decimal number as the user's integer parser takes it: leading blanks, an
// optional sign, then digits to the end.
bool ParseInt(const std::string& S, int& Out)
{
    size_t I = 0;
    while (I < S.size() && S[I] == ' ')
        ++I;
    bool Negative = false;
    if (I < S.size() && (S[I] == '+' || S[I] == '-'))
        Negative = S[I++] == '-';
    if (I == S.size())
        return false;
    long V = 0;
    for (; I < S.size(); ++I) {
        if (!std::isdigit(static_cast<unsigned char>(S[I])))
            return false;
        V = V * 10 + (S[I] - '0');
        if (V > 1000000)
            return false;
    }
    Out = static_cast<int>(Negative ? -V : V);
    return true;
}

// The user's long time format without a time zone, which a long time of
// day does not carry here.
QString LongTimeFormat()
{
    const QString F = QLocale::system().timeFormat(QLocale::LongFormat);
    QString Out;
    bool Quoted = false;
    for (qsizetype I = 0; I < F.size(); ++I) {
        const QChar C = F[I];
        if (C == u'\'')
            Quoted = !Quoted;
        if (!Quoted && C == u't') {
            while (!Out.isEmpty() && Out.back().isSpace())
                Out.chop(1);
            continue;
        }
        Out += C;
    }
    return Out.trimmed();
}

std::string LocalName(const QString& Name)
{
    return QFile::encodeName(Name).toStdString();
}

// Rebinds the list's notification however the save ends.
struct TRebind {
    std::function<void()> Done;
    ~TRebind() { Done(); }
};

} // namespace

// ---- start-up ---------------------------------------------------------------

// The pictures live in a static library: its resource registration has to be
// pulled in by name.
static void InitResources()
{
    Q_INIT_RESOURCE(varnelo);
}

void Unit1Initialization()
{
    InitResources();
    TOrvoScrivelUIform::ShowAbout(false);
    SetCursorSlot(crRecording, QCursor(QPixmap(QStringLiteral(":/varnelo/rec-cursor.xpm")), 0, 0));
}

QImage BitmapToImage(dicom::TBitmap&& Bitmap)
{
    if (Bitmap.Empty())
        return {};
    auto Owner = std::make_unique<dicom::TBitmap>(std::move(Bitmap));
    const bool Indexed = Owner->BitsPerPixel() == 8;
    QImage Image(Owner->Bits(), Owner->Width(), Owner->Height(), static_cast<qsizetype>(Owner->Stride()),
                 Indexed ? QImage::Format_Indexed8 : QImage::Format_RGB888,
                 [](void* P) { delete static_cast<dicom::TBitmap*>(P); }, Owner.get());
    dicom::TBitmap* Kept = Owner.release();
    if (Indexed)
        Image.setColorTable(QList<QRgb>(Kept->ColourTable().begin(), Kept->ColourTable().end()));
    return Image;
}

QString StartPathArgument(const QStringList& Arguments)
{
    return Arguments.value(1);
}

// ---- the window -------------------------------------------------------------

TOrvoScrivelUIform::TOrvoScrivelUIform(const QString& StartPath, QWidget* Parent)
    : QMainWindow(Parent), ui((InitResources(), std::make_unique<Ui::TOrvoScrivelUIform>()))
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("OrvoScrivelUIform"));

    FStatusLabel = new QLabel(ui->StatusBar1);
    FStatusLabel->setObjectName(QStringLiteral("StatusText"));
    // Permanent, so that passing status tips never hide the file on display.
    ui->StatusBar1->addPermanentWidget(FStatusLabel, 1);
    ui->StatusBar1->setFixedHeight(19);
    ui->StatusBar1->setSizeGripEnabled(true);

    FSaveDialog1 = new TSaveDialog(this);
    FSaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));

    // The tree shows folders only, the list everything in the tree's folder.
    FIcons = std::make_unique<TFileIcons>();
    FTreeModelOwner = std::make_unique<QFileSystemModel>();
    FTreeModel = FTreeModelOwner.get();
    FTreeModel->setIconProvider(FIcons.get());
    FTreeModel->setObjectName(QStringLiteral("ShellTreeModel"));
    FTreeModel->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot | QDir::Hidden);
    FTreeModel->setRootPath(QDir::rootPath());
    ui->ShellTreeView1->setModel(FTreeModel);
    for (int C = 1; C < FTreeModel->columnCount(); ++C)
        ui->ShellTreeView1->hideColumn(C);

    FListModelOwner = std::make_unique<QFileSystemModel>();
    FListModel = FListModelOwner.get();
    FListModel->setIconProvider(FIcons.get());
    FListModel->setObjectName(QStringLiteral("ShellListModel"));
    FListModel->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    FListModel->setReadOnly(false);
    ui->ShellListView1->setModel(FListModel);
    ui->ShellListView1->header()->setSectionsClickable(false);
    ui->ShellListView1->header()->setSortIndicatorShown(false);
    ui->ShellListView1->header()->resizeSection(0, 200);

    ApplyLook();

    // Every change of height goes to Panel3: the other panes keep theirs.
    ui->Splitter1->setStretchFactor(0, 0);
    ui->Splitter1->setStretchFactor(1, 1);
    ui->Splitter3->setStretchFactor(0, 0);
    ui->Splitter3->setStretchFactor(1, 1);
    ui->Splitter2->setStretchFactor(0, 0);
    ui->Splitter2->setStretchFactor(1, 1);
    ui->Splitter4->setStretchFactor(0, 0);
    ui->Splitter4->setStretchFactor(1, 1);
    ui->Splitter1->setSizes({185, 315});
    ui->Splitter2->setSizes({329, 356});
    ui->Splitter3->setSizes({216, 96});
    ui->Splitter4->setSizes({216, 469});
    for (QWidget* W : std::initializer_list<QWidget*>{ui->RichEdit1, ui->ShellTreeView1, ui->ShellListView1})
        W->setMinimumSize(1, 1);
    // A pane resized by its splitter (not by the window) sets a new record.
    ui->Panel1->installEventFilter(this);
    ui->Panel3->installEventFilter(this);

    // Panel4's children keep their distances to the edges they hold on to.
    auto* Anchors = new TAnchors(ui->Panel4, QSize(356, 315));
    Anchors->Add(ui->Panel5, TAnchors::akLeft | TAnchors::akTop | TAnchors::akRight | TAnchors::akBottom);
    Anchors->Add(ui->Label2, TAnchors::akLeft | TAnchors::akBottom);
    Anchors->Add(ui->Label3, TAnchors::akLeft | TAnchors::akBottom);
    Anchors->Add(ui->Label5, TAnchors::akRight | TAnchors::akBottom);
    Anchors->Add(ui->Label4, TAnchors::akRight | TAnchors::akBottom);

    // Handlers.
    connect(ui->ShellTreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& Current) { TreeCurrentChanged(Current); });
    // Rows arrive and get sorted after the folder was chosen: each time, keep
    // it in view (queued, so the view has taken the change in first).
    connect(FTreeModel, &QFileSystemModel::layoutChanged, this, [this] { KeepTreeFolderInView(); }, Qt::QueuedConnection);
    connect(FTreeModel, &QFileSystemModel::rowsInserted, this, [this] { KeepTreeFolderInView(); }, Qt::QueuedConnection);
    connect(FListModel, &QFileSystemModel::layoutChanged, this, [this] { KeepListItemInView(); }, Qt::QueuedConnection);
    connect(FListModel, &QFileSystemModel::rowsInserted, this, [this] { KeepListItemInView(); }, Qt::QueuedConnection);
    connect(ui->ShellListView1, &QAbstractItemView::activated, this,
            [this](const QModelIndex& Index) { ListActivated(Index); });
    connect(ui->Label2, &QPushButton::clicked, this, [this] { Label2Click(ui->Label2); });
    connect(ui->Label3, &QPushButton::clicked, this, [this] { Label3Click(ui->Label3); });
    connect(ui->Label5, &QPushButton::clicked, this, [this] { Label5Click(ui->Label5); });
    connect(ui->Label4, &QPushButton::clicked, this, [this] { Label4Click(ui->Label4); });
    BindListChange();
    // Key preview: the window sees every key before the focused control.
    qApp->installEventFilter(this);

    const QRect Desk = screen() ? screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    move(Desk.center() - rect().center());

    // The start folder is shown without a change notification: the window
    // starts as laid out, Save Comment enabled (it does nothing yet).
    const QFileInfo Start(StartPath.isEmpty() ? QDir::currentPath() : StartPath);
    const bool StartsOnItem = Start.exists() && !Start.isDir();
    FCreating = true;
    if (!Start.exists())
        OpenFolder(QDir::currentPath());
    else
        OpenFolder(StartsOnItem ? Start.absolutePath() : Start.absoluteFilePath());
    FCreating = false;

    CreatePopupMenu2();
    FormCreate(this);

    if (StartsOnItem)
        SelectStartItem(QDir::cleanPath(Start.absoluteFilePath()));
}

TOrvoScrivelUIform::~TOrvoScrivelUIform()
{
    FormDestroy(this);
    qApp->removeEventFilter(this);
    UnbindListChange();
    ui->ShellListView1->setModel(nullptr);
    ui->ShellTreeView1->setModel(nullptr);
}

void TOrvoScrivelUIform::ApplyLook()
{
    setFont(FormFont(11));
    for (QWidget* W : std::initializer_list<QWidget*>{ui->Panel1, ui->Panel2, ui->Panel3, ui->Panel4, ui->Panel5, ui->Panel6})
        Paint(W, QPalette::Window, clCream);
    for (QWidget* W : std::initializer_list<QWidget*>{ui->ShellTreeView1, ui->ShellListView1, ui->RichEdit1})
        Paint(W, QPalette::Base, clCream);
    // The list's selection stays visible while another control has the focus.
    QPalette P = ui->ShellListView1->palette();
    for (auto Role : {QPalette::Highlight, QPalette::HighlightedText})
        P.setColor(QPalette::Inactive, Role, P.color(QPalette::Active, Role));
    ui->ShellListView1->setPalette(P);
    ui->ShellTreeView1->setPalette([&] {
        QPalette T = ui->ShellTreeView1->palette();
        for (auto Role : {QPalette::Highlight, QPalette::HighlightedText})
            T.setColor(QPalette::Inactive, Role, T.color(QPalette::Active, Role));
        return T;
    }());
    ui->Splitter1->setCursor(Qt::SplitVCursor);
    ui->Splitter3->setCursor(Qt::SplitVCursor);
    ui->Label1->setFont(FormFont(16));

    for (TLinkButton* L : {ui->Label2, ui->Label3, ui->Label5, ui->Label4}) {
        QFont F = FormFont(13);
        F.setUnderline(true);
        F.setBold(L == ui->Label2);
        L->setFont(F);
        L->SetFontColor(clBlue);
        L->SetDefault(true);
        L->setCursor(Qt::PointingHandCursor);
    }
}

// ---- file list and tree -----------------------------------------------------

void TOrvoScrivelUIform::BindListChange()
{
    if (FListChangeBound)
        return;
    FListSelectionLink = connect(ui->ShellListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                                 [this] { ShellListView1Change(ui->ShellListView1, ui->ShellListView1->currentIndex(), ctState); });
    FListRenameLink = connect(FListModel, &QFileSystemModel::fileRenamed, this,
                              [this](const QString& Path, const QString&, const QString& NewName) {
                                  ShellListView1Change(ui->ShellListView1, FListModel->index(QDir(Path).filePath(NewName)), ctText);
                              });
    FListChangeBound = true;
}

void TOrvoScrivelUIform::UnbindListChange()
{
    disconnect(FListSelectionLink);
    disconnect(FListRenameLink);
    FListChangeBound = false;
}

int TOrvoScrivelUIform::SelectedCount() const
{
    return static_cast<int>(ui->ShellListView1->selectionModel()->selectedRows(0).size());
}

QString TOrvoScrivelUIform::ListFolder() const
{
    return FListModel->filePath(ui->ShellListView1->rootIndex());
}

void TOrvoScrivelUIform::OpenFolder(const QString& Path)
{
    const QModelIndex Node = FTreeModel->index(QDir(Path).absolutePath());
    if (!Node.isValid())
        return;
    for (QModelIndex Up = Node.parent(); Up.isValid(); Up = Up.parent())
        ui->ShellTreeView1->expand(Up);
    ui->ShellTreeView1->setCurrentIndex(Node);
    ui->ShellTreeView1->scrollTo(Node);
    // The folders above it are read in the background; bring it into view
    // again as they arrive and the rows above it move.
    FTreeScrollPath = FTreeModel->filePath(Node);
    FTreeScrollClock.start();
}

void TOrvoScrivelUIform::KeepTreeFolderInView()
{
    if (FTreeScrollPath.isEmpty())
        return;
    const QModelIndex Current = ui->ShellTreeView1->currentIndex();
    // Only for a short while, and not once the user has gone elsewhere.
    if (FTreeScrollClock.elapsed() > 3000 || FTreeModel->filePath(Current) != FTreeScrollPath) {
        FTreeScrollPath.clear();
        return;
    }
    ui->ShellTreeView1->scrollTo(Current, QAbstractItemView::PositionAtCenter);
}

// As a click on it: the list takes the focus and the item becomes its one
// selection, whose change notification loads it.
void TOrvoScrivelUIform::SelectStartItem(const QString& Path)
{
    const QModelIndex Item = FListModel->index(Path);
    if (!Item.isValid() || Item.parent() != ui->ShellListView1->rootIndex())
        return;
    ui->ShellListView1->setFocus();
    ui->ShellListView1->selectionModel()->setCurrentIndex(Item, QItemSelectionModel::ClearAndSelect
                                                                    | QItemSelectionModel::Rows);
    ui->ShellListView1->scrollTo(Item);
    FListScrollPath = Path;
    FListScrollClock.start();
}

void TOrvoScrivelUIform::KeepListItemInView()
{
    if (FListScrollPath.isEmpty())
        return;
    const QModelIndex Current = ui->ShellListView1->currentIndex();
    if (FListScrollClock.elapsed() > 3000 || FListModel->filePath(Current) != FListScrollPath) {
        FListScrollPath.clear();
        return;
    }
    ui->ShellListView1->scrollTo(Current);
}

void TOrvoScrivelUIform::TreeCurrentChanged(const QModelIndex& Current)
{
    // The list follows the tree first; then the tree's own notification.
    const QString Path = FTreeModel->filePath(Current);
    if (FCreating)
        UnbindListChange();
    ui->ShellListView1->selectionModel()->clear();
    ui->ShellListView1->setRootIndex(FListModel->setRootPath(Path));
    FListModel->sort(0, Qt::AscendingOrder);
    if (FCreating)
        BindListChange();
    else
        ShellTreeView1Change(ui->ShellTreeView1, Current);
}

void TOrvoScrivelUIform::ListActivated(const QModelIndex& Index)
{
    if (FListModel->isDir(Index))
        OpenFolder(FListModel->filePath(Index));
}

void TOrvoScrivelUIform::ShellTreeView1Change(QObject* Sender, const QModelIndex&)
{
    ShellListView1Change(Sender, QModelIndex(), ctState);
}

void TOrvoScrivelUIform::ShellListView1Change(QObject*, const QModelIndex&, TItemChange)
{
    SetStatusText(QString());
    ui->Image1->ClearPicture();
    ui->RichEdit1->clear();
    ui->Memo1->clear();
    ui->Label2->setEnabled(false);
    if (SelectedCount() != 1)
        return;

    QCoreApplication::processEvents();
    // A change handled meanwhile may have left no single item to build a
    // name from; it has already set the window for what is selected now.
    const QModelIndexList Rows = ui->ShellListView1->selectionModel()->selectedRows(0);
    if (Rows.size() != 1)
        return;

    QString FileName = ListFolder();
    if (!FileName.endsWith(u'/'))
        FileName += u'/';
    FileName += FListModel->data(Rows.first(), Qt::DisplayRole).toString();

    SetScreenCursor(crHourGlass);
    try {
        // Regular files only: a pipe or device would block the read.
        if (QFileInfo(FileName).isFile())
            ShowFile(FileName);
    } catch (...) {
        // A file the loader refuses leaves the window cleared, silently.
    }
    SetScreenCursor(crDefault);
}

// ---- showing a file ---------------------------------------------------------

bool TOrvoScrivelUIform::ShowFile(const QString& FileName)
{
    dicom::TBitmap Bitmap;
    dicom::THeaderData HeaderData;
    const bool Loaded = dicom::LoadDICOMFile(LocalName(FileName), Bitmap, HeaderData);
    if (!Loaded)
        return false;

    SetStatusText(FileName);
    ui->Image1->SetPicture(BitmapToImage(std::move(Bitmap)));
    // Shown as the data set's own character set has it.
    const dicom::THeaderData H = dicom::DecodedHeader(HeaderData);
    ui->Memo1->setPlainText(ansi::CommentFromStored(H.ImageComments));

    auto Text = [](const std::string& S) { return QString::fromUtf8(S.data(), static_cast<qsizetype>(S.size())); };
    AddSummaryLine(QStringLiteral("Patient's Name"), Text(H.PatientName));
    AddSummaryLine(QStringLiteral("Patient's ID"), Text(H.PatientID));
    AddSummaryLine(QStringLiteral("Patient's Birth Date"), DicomDateToText(HeaderData.PatientBirthDate));
    AddSummaryLine(QStringLiteral("Modality"), Text(H.Modality));
    AddSummaryLine(QStringLiteral("Manufacturer"), Text(H.Manufacturer));
    AddSummaryLine(QStringLiteral("Instance Number"), Text(H.InstanceNumber));
    AddSummaryLine(QStringLiteral("Body Part Examined"), Text(H.BodyPartExamined));
    AddSummaryLine(QStringLiteral("Accession Number"), Text(H.AccessionNumber));
    AddSummaryLine(QStringLiteral("Referring Physician's Name"), Text(H.ReferringPhysicianName));
    AddSummaryLine(QStringLiteral("Institution Name"), Text(H.InstitutionName));
    AddSummaryLine(QStringLiteral("ContentDate"), DicomDateToText(HeaderData.ContentDate));
    AddSummaryLine(QStringLiteral("Rows / Columns"), QString::asprintf("%u / %u", unsigned(H.Rows), unsigned(H.Columns)));
    if (H.NumberOfFrames > 0)
        AddSummaryLine(QStringLiteral("Frame"), QString::asprintf("1 of %u", unsigned(H.NumberOfFrames)));
    // The summary stays whole and in place, its top in view.
    ui->RichEdit1->moveCursor(QTextCursor::Start);

    ui->Label2->setEnabled(true);
    return true;
}

void TOrvoScrivelUIform::AddSummaryLine(const QString& Label, const QString& Value)
{
    if (Value.isEmpty())
        return;
    QTextDocument* Doc = ui->RichEdit1->document();
    QTextCursor C(Doc);
    C.movePosition(QTextCursor::End);
    if (!Doc->isEmpty())
        C.insertBlock();
    QTextCharFormat Bold;
    Bold.setFontWeight(QFont::Bold);
    QTextCharFormat Regular;
    Regular.setFontWeight(QFont::Normal);
    C.insertText(Label, Bold);
    C.insertText(QStringLiteral(": ") + Value, Regular);
}

QString TOrvoScrivelUIform::DicomDateToText(const std::string& DicomDate)
{
    std::string S;
    for (char C : DicomDate)
        if (C != '.')
            S += C;
    auto Part = [&S](size_t From, size_t Count) { return From < S.size() ? S.substr(From, Count) : std::string(); };
    int Day = 0, Month = 0, Year = 0;
    if (!ParseInt(Part(6, 2), Day) || !ParseInt(Part(4, 2), Month) || !ParseInt(Part(0, 4), Year))
        return {};
    const QDate Date(Year, Month, Day);
    if (Year < 1 || !Date.isValid())
        return {};
    return QLocale::system().toString(Date, QLocale::ShortFormat);
}

// ---- links and keys ---------------------------------------------------------

void TOrvoScrivelUIform::Label2Click(QObject*)
{
    const QString Source = StatusText();
    if (Source.isEmpty())
        return;
    ui->Label2->SetFontColor(clRed);
    FSaveDialog1->setDirectory(QFileInfo(Source).absolutePath());
    FSaveDialog1->selectFile(Source);
    UnbindListChange();
    {
        TRebind Rebind{[this] { BindListChange(); }};
        if (FSaveDialog1->exec() == QDialog::Accepted && !FSaveDialog1->selectedFiles().isEmpty()) {
            const QString Target = FSaveDialog1->selectedFiles().first();
            dicom::TCommentWriterHooks Hooks;
            Hooks.ReportError = [this](const std::string& Message) {
                QMessageBox Box(QMessageBox::Critical, QStringLiteral("Error"), QString::fromLocal8Bit(Message.c_str()),
                                QMessageBox::Ok, this);
                Box.exec();
            };
            Hooks.DateTimeText = [] {
                const QLocale L = QLocale::system();
                return (L.toString(QDate::currentDate(), QLocale::ShortFormat) + u' '
                        + L.toString(QTime::currentTime(), LongTimeFormat()))
                    .toStdString();
            };
            SetScreenCursor(crHourGlass);
            struct TRestore {
                ~TRestore() { SetScreenCursor(crDefault); }
            } Restore;
            // The writer stores the text in the file's own character set.
            dicom::WriteDICOMComment(LocalName(Source), LocalName(Target), ui->Memo1->StoredText().toStdString(),
                                     Hooks);
        }
    }
    ui->Label2->SetFontColor(clPurple);
}

void TOrvoScrivelUIform::Label3Click(QObject*)
{
    ui->Label3->SetFontColor(clRed);
    QMessageBox Box(QMessageBox::Information, windowTitle(), QString::fromLatin1(kHelpText), QMessageBox::Ok, this);
    Box.exec();
    ui->Label3->SetFontColor(clPurple);
}

void TOrvoScrivelUIform::Label5Click(QObject*)
{
    ui->Label5->SetFontColor(clRed);
    ShowAbout(true);
    ui->Label5->SetFontColor(clPurple);
}

void TOrvoScrivelUIform::Label4Click(QObject*)
{
    QCoreApplication::quit();
}

void TOrvoScrivelUIform::ShowAbout(bool Modal)
{
    TAboutInfo Info;
    Info.Title = QStringLiteral("Varnelo");
    Info.Description = QStringLiteral("Adds voice recorded comments to medical images.");
    Info.RightsNotice = QString::fromLatin1(kRightsNotice);
    Info.Logo = QPixmap(QStringLiteral(":/varnelo/varnelo.xpm"));
    Info.ShowAuthors = false;
    Info.ShowProductLink = true;
    Info.TitleLink = QString::fromLatin1(kProductAddress);
    Info.ShowDonation = true;
    Info.Translate = false;
    if (Modal)
        ShowAboutBox(Info);
    else
        ShowSplash(Info);
}

void TOrvoScrivelUIform::FormKeyDown(QObject*, int& Key, Qt::KeyboardModifiers)
{
    if (Key == Qt::Key_F1)
        Label3Click(ui->Label3);
}

bool TOrvoScrivelUIform::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::Resize && (Watched == ui->Panel1 || Watched == ui->Panel3)) {
        // While the window's own height changes, the panes move before the
        // resize rule has run: the record stays as it was until then.
        if (FLayoutReady && height() == FFormHeight)
            RememberLayout();
        return QMainWindow::eventFilter(Watched, Event);
    }
    if (Event->type() == QEvent::MouseButtonPress && Watched == ui->ToolButton5) {
        // The button has no click of its own: the press opens the menu.
        if (!ui->ToolButton5->isEnabled())
            return true;
        auto* M = static_cast<QMouseEvent*>(Event);
        const QPoint At = M->position().toPoint();
        ToolButton5MouseDown(ui->ToolButton5, M->button(), M->modifiers(), At.x(), At.y());
        return M->button() == Qt::LeftButton;
    }
    // A key event travels from the focus widget up its parents; the window
    // looks at it once, at its first stop, and passes it on.
    if (Event->type() == QEvent::KeyPress && Watched->isWidgetType()) {
        auto* W = static_cast<QWidget*>(Watched);
        QWidget* Focus = QApplication::focusWidget();
        if (W->window() == this && (W == Focus || (!Focus && W == this))) {
            auto* K = static_cast<QKeyEvent*>(Event);
            int Key = K->key();
            FormKeyDown(this, Key, K->modifiers());
        }
    }
    return QMainWindow::eventFilter(Watched, Event);
}

// ---- status text ------------------------------------------------------------

QString TOrvoScrivelUIform::StatusText() const
{
    return FStatusLabel->text();
}

void TOrvoScrivelUIform::SetStatusText(const QString& Text)
{
    FStatusLabel->setText(Text);
}

// ---- comment field ----------------------------------------------------------

TMemo* TOrvoScrivelUIform::CommentField() const
{
    return ui->Memo1;
}

QString TOrvoScrivelUIform::CommentText() const
{
    return ui->Memo1->StoredText();
}

void TOrvoScrivelUIform::SetCommentSelection(qsizetype Start, qsizetype Length)
{
    ui->Memo1->SetStoredSelection(Start, Length);
}

qsizetype TOrvoScrivelUIform::InsertComment(const QString& Text)
{
    return ui->Memo1->InsertLimited(Text);
}

// ---- resize rule ------------------------------------------------------------

void TOrvoScrivelUIform::FormCanResize(QObject*, int&, int& NewHeight, bool& Resize)
{
    const int H = FPanel3Height + NewHeight - FFormHeight;
    Resize = H >= 10;
    if (Resize)
        SetPanel3Height(H);
}

void TOrvoScrivelUIform::SetPanel3Height(int Height)
{
    const int Handle1 = ui->Splitter1->handleWidth();
    ui->Splitter1->setSizes({FPanel1Height, std::max(0, ui->Splitter1->height() - FPanel1Height - Handle1)});
    const int Handle3 = ui->Splitter3->handleWidth();
    ui->Splitter3->setSizes({Height, std::max(0, ui->Splitter3->height() - Height - Handle3)});
}

void TOrvoScrivelUIform::RememberLayout()
{
    FFormHeight = height();
    FPanel1Height = ui->Panel1->height();
    FPanel3Height = ui->Panel3->height();
    UpdateMinimumHeight();
}

void TOrvoScrivelUIform::UpdateMinimumHeight()
{
    // Only Panel3 gives way when the window gets lower: down to 10 pixels, and
    // no further than the lower panes' own minimum lets it.
    const int Lower = ui->Splitter2->height() - ui->Splitter2->minimumSizeHint().height();
    const int Give = std::max(0, std::min(ui->Panel3->height() - 10, Lower));
    setMinimumHeight(height() - Give);
}

void TOrvoScrivelUIform::showEvent(QShowEvent* Event)
{
    QMainWindow::showEvent(Event);
    if (!FLayoutReady) {
        FLayoutReady = true;
        RememberLayout();
    }
}

void TOrvoScrivelUIform::resizeEvent(QResizeEvent* Event)
{
    QMainWindow::resizeEvent(Event);
    if (!FLayoutReady || !isVisible())
        return;
    int NewWidth = width(), NewHeight = height();
    bool Resize = true;
    FormCanResize(this, NewWidth, NewHeight, Resize);
    RememberLayout();
}

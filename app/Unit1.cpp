// The main window: construction and wiring, its look, the links and keys,
// and the resize rule.
#include "Unit1.h"

#include "ui_Unit1.h"

#include "appcontrols.h"
#include "screencursor.h"

#include "GraphicControl1.h"
#include "myabout.h"
#include "orvolib.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>

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

// ---- links and keys ---------------------------------------------------------

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

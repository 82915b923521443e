// The main window's browsing side: the folder tree and the file list, the
// preview and header summary of the file selected, and the status text.
#include "Unit1.h"

#include "ui_Unit1.h"

#include "ansitext.h"
#include "appcontrols.h"
#include "screencursor.h"

#include "charset.h"
#include "loader.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLocale>
#include <QTextCharFormat>
#include <QTextCursor>

#include <cctype>

namespace {

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

} // namespace

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

std::string TOrvoScrivelUIform::LocalName(const QString& Name)
{
    return QFile::encodeName(Name).toStdString();
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
    FDictatedPhrases.clear();
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
    FShownComment = ui->Memo1->StoredText();
    FDictatedPhrases.clear();

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

// ---- status text ------------------------------------------------------------

QString TOrvoScrivelUIform::StatusText() const
{
    return FStatusLabel->text();
}

void TOrvoScrivelUIform::SetStatusText(const QString& Text)
{
    FStatusLabel->setText(Text);
}

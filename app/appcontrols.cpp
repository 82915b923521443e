#include "appcontrols.h"

#include "ansitext.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QMimeDatabase>
#include <QStyle>
#include <QPainter>
#include <QResizeEvent>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

#include <unistd.h>

// ---- TPreviewImage ----------------------------------------------------------

TPreviewImage::TPreviewImage(QWidget* Parent) : QWidget(Parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TPreviewImage::SetPicture(const QImage& Image)
{
    FPicture = Image;
    FScaled = QPixmap();
    update();
}

QRect TPreviewImage::PictureRect() const
{
    if (FPicture.isNull() || width() <= 0 || height() <= 0)
        return {};
    const QSize S = FPicture.size().scaled(size(), Qt::KeepAspectRatio);
    if (S.isEmpty())
        return {};
    return QRect(QPoint((width() - S.width()) / 2, (height() - S.height()) / 2), S);
}

void TPreviewImage::resizeEvent(QResizeEvent* Event)
{
    FScaled = QPixmap();
    QWidget::resizeEvent(Event);
}

void TPreviewImage::paintEvent(QPaintEvent*)
{
    const QRect R = PictureRect();
    if (!R.isEmpty()) {
        if (FScaled.size() != R.size()) {
            // Smooth scaling turns the whole picture into 32-bit colour
            // first: for the largest images gigabytes and tens of seconds.
            // A picture many times the preview is thinned out to four times
            // it beforehand, which reads only the pixels it keeps.
            QImage Source = FPicture;
            const QSize Thin(std::min(FPicture.width(), 4 * R.width()), std::min(FPicture.height(), 4 * R.height()));
            if (Thin != FPicture.size())
                Source = FPicture.scaled(Thin, Qt::IgnoreAspectRatio, Qt::FastTransformation);
            const QImage Scaled = Source.size() == R.size()
                ? Source
                : Source.scaled(R.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            FScaled = QPixmap::fromImage(Scaled);
        }
        QPainter P(this);
        P.drawPixmap(R.topLeft(), FScaled);
    }
    ++FPaints;
    emit Painted();
}

// ---- TMemo ------------------------------------------------------------------

TMemo::TMemo(QWidget* Parent) : QPlainTextEdit(Parent) {}

QString TMemo::StoredText() const
{
    QString Out;
    const QString Raw = document()->toRawText();
    Out.reserve(Raw.size() + 16);
    for (QChar C : Raw) {
        if (C == QChar::ParagraphSeparator || C == QChar::LineSeparator || C == u'\n')
            Out += QStringLiteral("\r\n");
        else
            Out += C;
    }
    return Out;
}

qsizetype TMemo::StoredLength() const
{
    return ansi::StoredLength(document()->toRawText());
}

QString TMemo::Normalized(QString Text)
{
    // CR LF from elsewhere is one line break here, as is a lone CR.
    Text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text.replace(u'\r', u'\n');
    return Text;
}

QString TMemo::Fit(const QString& Text) const
{
    if (FMaxLength <= 0)
        return Text;
    const qsizetype Room = FMaxLength - (StoredLength() - ansi::StoredLength(textCursor().selectedText()));
    qsizetype Used = 0, I = 0;
    for (; I < Text.size(); ++I) {
        const QChar C = Text[I];
        const qsizetype Cost = (C == u'\n' || C == QChar::ParagraphSeparator || C == QChar::LineSeparator) ? 2 : 1;
        if (Used + Cost > Room)
            break;
        Used += Cost;
    }
    return Text.left(I);
}

qsizetype TMemo::InsertLimited(const QString& Text)
{
    const QString Part = Fit(Normalized(Text));
    QTextCursor C = textCursor();
    C.insertText(Part);
    setTextCursor(C);
    return Part.size();
}

void TMemo::keyPressEvent(QKeyEvent* Event)
{
    if (FMaxLength > 0 && !isReadOnly()) {
        QString Typed;
        if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter)
            Typed = QStringLiteral("\n");
        else if (!Event->text().isEmpty() && Event->text()[0].isPrint())
            Typed = Event->text();
        if (!Typed.isEmpty() && Fit(Typed).size() < Typed.size()) {
            QApplication::beep();
            Event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(Event);
}

void TMemo::insertFromMimeData(const QMimeData* Source)
{
    if (FMaxLength <= 0 || !Source || !Source->hasText()) {
        QPlainTextEdit::insertFromMimeData(Source);
        return;
    }
    const QString Text = Normalized(Source->text());
    const QString Part = Fit(Text);
    if (Part.size() < Text.size())
        QApplication::beep();
    if (!Part.isEmpty())
        textCursor().insertText(Part);
    ensureCursorVisible();
}

void TMemo::inputMethodEvent(QInputMethodEvent* Event)
{
    if (FMaxLength > 0 && !Event->commitString().isEmpty()) {
        const QString Text = Normalized(Event->commitString());
        const QString Part = Fit(Text);
        if (Part.size() < Text.size()) {
            QInputMethodEvent Cut(Event->preeditString(), Event->attributes());
            Cut.setCommitString(Part, Event->replacementStart(), Event->replacementLength());
            QApplication::beep();
            QPlainTextEdit::inputMethodEvent(&Cut);
            return;
        }
    }
    QPlainTextEdit::inputMethodEvent(Event);
}

int TMemo::DocumentPosition(qsizetype StoredPos) const
{
    const QString Raw = document()->toRawText();
    qsizetype Stored = 0;
    int Doc = 0;
    for (; Doc < Raw.size(); ++Doc) {
        const QChar C = Raw[Doc];
        const qsizetype Cost = (C == QChar::ParagraphSeparator || C == QChar::LineSeparator || C == u'\n') ? 2 : 1;
        if (Stored + Cost > StoredPos)
            break;
        Stored += Cost;
    }
    return Doc;
}

qsizetype TMemo::StoredPosition(int DocPos) const
{
    return ansi::StoredLength(document()->toRawText().left(DocPos));
}

void TMemo::SetStoredSelection(qsizetype Start, qsizetype Length)
{
    const int From = DocumentPosition(std::max<qsizetype>(Start, 0));
    const int To = DocumentPosition(std::max<qsizetype>(Start, 0) + std::max<qsizetype>(Length, 0));
    QTextCursor C(document());
    C.setPosition(From);
    C.setPosition(To, QTextCursor::KeepAnchor);
    setTextCursor(C);
}

qsizetype TMemo::StoredSelStart() const
{
    return StoredPosition(textCursor().selectionStart());
}

qsizetype TMemo::StoredSelLength() const
{
    const QTextCursor C = textCursor();
    return StoredPosition(C.selectionEnd()) - StoredPosition(C.selectionStart());
}

// ---- TSaveDialog ------------------------------------------------------------

TSaveDialog::TSaveDialog(QWidget* Parent) : QFileDialog(Parent)
{
    // Our own dialog everywhere, so the read-only refusal below always runs.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setOption(QFileDialog::DontConfirmOverwrite, false);
    setSizeGripEnabled(true);
}

QString TSaveDialog::RefusalFor(const QString& Name)
{
    const QFileInfo Info(Name);
    if (Info.isDir())
        return {};
    if (Info.exists()) {
        // Read-only means no write permission for anyone (as a read-only mark
        // would), or none for us; root's bypass of the bits does not count.
        const auto P = Info.permissions();
        const bool AnyWrite = P & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther);
        if (!AnyWrite || ::access(QFile::encodeName(Info.absoluteFilePath()).constData(), W_OK) != 0)
            return QStringLiteral("%1\nThis file is read-only.\nTry again with a different file name.")
                .arg(QDir::toNativeSeparators(Info.absoluteFilePath()));
    } else {
        const QString Folder = Info.absolutePath();
        if (::access(QFile::encodeName(Folder).constData(), W_OK) != 0)
            return QStringLiteral("%1\nThe folder %2 cannot be written to.\nTry again with a different folder.")
                .arg(Info.fileName(), QDir::toNativeSeparators(Folder));
    }
    return {};
}

void TSaveDialog::accept()
{
    const QStringList Files = selectedFiles();
    if (!Files.isEmpty()) {
        const QString Why = RefusalFor(Files.first());
        if (!Why.isEmpty()) {
            QMessageBox::warning(this, windowTitle(), Why);
            return;
        }
    }
    QFileDialog::accept();
}

// ---- TAnchors ---------------------------------------------------------------

TAnchors::TAnchors(QWidget* Parent, QSize DesignSize) : QObject(Parent), FParent(Parent), FDesign(DesignSize)
{
    Parent->installEventFilter(this);
}

void TAnchors::Add(QWidget* Child, unsigned Anchors)
{
    FItems.push_back({Child, Anchors, Child->geometry()});
    Apply();
}

bool TAnchors::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FParent && Event->type() == QEvent::Resize)
        Apply();
    return QObject::eventFilter(Watched, Event);
}

void TAnchors::Apply()
{
    const int DW = FParent->width() - FDesign.width();
    const int DH = FParent->height() - FDesign.height();
    for (const TItem& I : FItems) {
        if (!I.Child)
            continue;
        QRect R = I.Design;
        if ((I.Anchors & akLeft) && (I.Anchors & akRight))
            R.setWidth(std::max(0, R.width() + DW));
        else if (I.Anchors & akRight)
            R.moveLeft(R.left() + DW);
        if ((I.Anchors & akTop) && (I.Anchors & akBottom))
            R.setHeight(std::max(0, R.height() + DH));
        else if (I.Anchors & akBottom)
            R.moveTop(R.top() + DH);
        I.Child->setGeometry(R);
    }
}

// ---- TFileIcons -------------------------------------------------------------

TFileIcons::TFileIcons()
{
    QStyle* S = QApplication::style();
    FFolder = S->standardIcon(QStyle::SP_DirIcon);
    FFile = S->standardIcon(QStyle::SP_FileIcon);
    FDrive = S->standardIcon(QStyle::SP_DriveHDIcon);
}

QIcon TFileIcons::icon(IconType Type) const
{
    switch (Type) {
    case Folder:
        return FFolder;
    case Drive:
    case Computer:
        return FDrive;
    default:
        return FFile;
    }
}

QIcon TFileIcons::icon(const QFileInfo& Info) const
{
    if (Info.isRoot())
        return FDrive;
    return Info.isDir() ? FFolder : FFile;
}

QString TFileIcons::type(const QFileInfo& Info) const
{
    if (Info.isRoot())
        return QStringLiteral("Drive");
    if (Info.isDir())
        return QStringLiteral("Folder");
    const QString Suffix = Info.suffix().toLower();
    QMutexLocker Lock(&FLock);
    auto It = FTypes.constFind(Suffix);
    if (It != FTypes.constEnd())
        return *It;
    QString Name;
    if (!Suffix.isEmpty()) {
        const QMimeType M = QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + Suffix, QMimeDatabase::MatchExtension);
        Name = M.isDefault() ? Suffix.toUpper() + QStringLiteral(" File") : M.comment();
    } else {
        Name = QStringLiteral("File");
    }
    FTypes.insert(Suffix, Name);
    return Name;
}

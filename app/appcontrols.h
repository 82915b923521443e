// Controls of the main window that Qt has no exact counterpart for.
#pragma once

#include <QAbstractFileIconProvider>
#include <QFileDialog>
#include <QHash>
#include <QIcon>
#include <QMutex>
#include <QImage>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>

#include <vector>

// The preview: the picture scaled to fit the control with its aspect ratio
// kept, up or down, centred.
class TPreviewImage : public QWidget {
    Q_OBJECT
public:
    explicit TPreviewImage(QWidget* Parent = nullptr);

    const QImage& Picture() const { return FPicture; }
    void SetPicture(const QImage& Image);
    void ClearPicture() { SetPicture(QImage()); }

    // Where the picture lands in the control; empty without a picture.
    QRect PictureRect() const;
    // Paints so far, so a caller can tell when a new picture reached the screen.
    quint64 PaintCount() const { return FPaints; }

signals:
    void Painted();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    QImage FPicture;
    QPixmap FScaled; // the picture at PictureRect's size, made on demand
    quint64 FPaints = 0;
};

// The comment field: a plain-text edit that refuses typing, pasting and
// inserting beyond MaxLength characters, counting a line break as two (as the
// stored comment does). Text set with setPlainText is not limited.
class TMemo : public QPlainTextEdit {
    Q_OBJECT
    Q_PROPERTY(int maxLength READ MaxLength WRITE setMaxLength)
public:
    explicit TMemo(QWidget* Parent = nullptr);

    int MaxLength() const { return FMaxLength; }
    void setMaxLength(int Value) // the name the form loader calls
    { FMaxLength = Value; }

    // The text with each line break as CR LF, in the field's characters.
    QString StoredText() const;
    qsizetype StoredLength() const;

    // Puts Text in place of the selection, cut to what the limit leaves room
    // for; the caret ends after it. Returns the number of characters put in.
    qsizetype InsertLimited(const QString& Text);

    // Selection in stored positions (a line break counts two).
    void SetStoredSelection(qsizetype Start, qsizetype Length);
    qsizetype StoredSelStart() const;
    qsizetype StoredSelLength() const;

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void insertFromMimeData(const QMimeData* Source) override;
    void inputMethodEvent(QInputMethodEvent* Event) override;

private:
    static QString Normalized(QString Text);
    // The longest head of Text that fits in place of the selection.
    QString Fit(const QString& Text) const;
    int DocumentPosition(qsizetype StoredPos) const;
    qsizetype StoredPosition(int DocPos) const;

    int FMaxLength = 0; // 0: no limit
};

// The save dialog: asks before overwriting, has no file-type filter and no
// default extension, and refuses a read-only target or a folder it cannot
// write in.
class TSaveDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit TSaveDialog(QWidget* Parent = nullptr);

    // Why Name cannot be a target; empty when it can.
    static QString RefusalFor(const QString& Name);

public slots:
    void accept() override;
};

// Keeps children at fixed distances from the edges of their parent that they
// are anchored to, as laid out at the parent's design size.
class TAnchors : public QObject {
    Q_OBJECT
public:
    enum : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

    TAnchors(QWidget* Parent, QSize DesignSize);
    void Add(QWidget* Child, unsigned Anchors);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void Apply();

    struct TItem {
        QPointer<QWidget> Child;
        unsigned Anchors;
        QRect Design;
    };
    QWidget* FParent;
    QSize FDesign;
    std::vector<TItem> FItems;
};

// Icons and type names for the folder tree and file list that cost a hash
// lookup per file: the model asks for every file it lists, on the GUI thread,
// so a large folder must not wait for content sniffing or icon themes. The
// type is the file's extension's type name.
class TFileIcons : public QAbstractFileIconProvider {
public:
    TFileIcons(); // on the GUI thread: the icons come from the style

    QIcon icon(IconType Type) const override;
    QIcon icon(const QFileInfo& Info) const override;
    QString type(const QFileInfo& Info) const override;

private:
    QIcon FFolder, FFile, FDrive;
    mutable QMutex FLock;
    mutable QHash<QString, QString> FTypes; // by lower-case suffix
};

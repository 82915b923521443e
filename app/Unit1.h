// The main window: browse, preview, header summary, comment, save. One class
// over several units: Unit1 (construction, look, links, keys, resize rule),
// Unit1Browse, Unit1Comment and Unit1Speech.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QMainWindow>
#include <QModelIndex>
#include <QString>

#include "sprecocontext.h"

#include <array>
#include <functional>
#include <memory>
#include <string>

namespace Ui {
class TOrvoScrivelUIform;
}
namespace dicom {
class TBitmap;
}

class QAction;
class QActionGroup;
class QFileSystemModel;
class QMenu;
class TSpRecoGrammar;
class TSpRecoResult;
class TSpSharedRecoContext;
class TSpVoice;
class QLabel;
class QPlainTextEdit;
class QSplitter;
class QTextEdit;
class QTreeView;
class TLinkButton;
class TMemo;
class TPreviewImage;
class TFileIcons;
class TSaveDialog;

// What changed in the file list.
enum TItemChange { ctText, ctImage, ctState };

// Link colours.
extern const QColor clRed, clPurple, clBlue, clCream;

// The recogniser's dialogs: type names and the captions that title them.
extern std::array<QString, 7> SpeechUITypes;
extern std::array<QString, 7> SpeechUICaptions;
// True from Pause until reading is resumed or stopped.
extern bool SpeechPaused;

// Start-up work that precedes the window: the splash (closes by itself) and
// the REC cursor in its slot. Needs the application object.
void Unit1Initialization();

// Wraps a bitmap in an image that owns it, without copying its pixels.
QImage BitmapToImage(dicom::TBitmap&& Bitmap);

// The path a start was given (the desktop passes the file opened): the first
// argument after the program's name, empty without one; more are ignored.
QString StartPathArgument(const QStringList& Arguments);

class TOrvoScrivelUIform : public QMainWindow {
    Q_OBJECT
public:
    // Opens the tree and the list on StartPath, relative to the working
    // folder. A folder opens with nothing selected; anything else that exists
    // opens its folder and is selected there as a click selects it, which
    // loads it. Empty or missing: the working folder, nothing selected.
    explicit TOrvoScrivelUIform(const QString& StartPath = QString(), QWidget* Parent = nullptr);
    ~TOrvoScrivelUIform() override;

    // Handlers, bound in the constructor.
    void ShellListView1Change(QObject* Sender, const QModelIndex& Item, TItemChange Change);
    void ShellTreeView1Change(QObject* Sender, const QModelIndex& Node);
    void Label2Click(QObject* Sender);
    void Label3Click(QObject* Sender);
    void Label5Click(QObject* Sender);
    void Label4Click(QObject* Sender);
    void FormKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void FormCanResize(QObject* Sender, int& NewWidth, int& NewHeight, bool& Resize);

    // Speech: set-up and tear-down, the toolbar, the Configure menu, and the
    // service's events.
    void FormCreate(QObject* Sender);
    void FormDestroy(QObject* Sender);
    void ToolButton1Click(QObject* Sender);
    void ToolButton2Click(QObject* Sender);
    void ToolButton3Click(QObject* Sender);
    void ToolButton4Click(QObject* Sender);
    void ToolButton5MouseDown(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void VolumeControl1Click(QObject* Sender);
    void VoiceItemClick(QObject* Sender);
    void SpeechUIItemClick(QObject* Sender);
    void VoiceEndStream(QObject* Sender, int StreamNumber, qint64 StreamPosition);
    void VoiceWord(QObject* Sender, int StreamNumber, qint64 StreamPosition, int CharacterPosition, int Length);
    void RecoContextRecognition(QObject* Sender, int StreamNumber, qint64 StreamPosition, int RecognitionType,
                                const TSpRecoResult& Result);

    TSpVoice* SpeechVoice = nullptr;            // absent when its creation failed
    TSpSharedRecoContext* SpeechReco = nullptr; // absent until created
    std::shared_ptr<TSpRecoGrammar> DictationGrammar;
    bool Dictating = false;

    QMenu* PopupMenu2() const { return FPopupMenu2; }
    // Starts an audio tool detached: program and arguments. Replaceable for
    // tests; returns whether it started.
    std::function<bool(const QString& Program, const QStringList& Arguments)> StartTool;

    // Loads FileName and shows it; false (window left cleared) when the
    // loader refuses it. The loader's errors pass through.
    bool ShowFile(const QString& FileName);
    void AddSummaryLine(const QString& Label, const QString& Value);
    // A DICOM date (YYYYMMDD, or YYYY.MM.DD) in the user's short date format;
    // empty when it is no date.
    static QString DicomDateToText(const std::string& DicomDate);
    // The modal about box (true) or the start-up splash (false).
    static void ShowAbout(bool Modal);

    // The file on display, as the status bar shows it; empty when none.
    QString StatusText() const;

    // The folder the list shows, and making another one current in the tree.
    QString ListFolder() const;
    void OpenFolder(const QString& Path);

    // Whether the list's change notification reaches ShellListView1Change.
    bool ListChangeBound() const { return FListChangeBound; }

    // The comment field, for dictation and read-aloud: its text with each
    // line break as CR LF; positions and lengths count a line break as two.
    QString CommentText() const;
    void SetCommentSelection(qsizetype Start, qsizetype Length);
    // Puts Text in place of the selection within the field's limit; returns
    // the characters put in.
    qsizetype InsertComment(const QString& Text);
    TMemo* CommentField() const;
    // The phrases dictated into the comment on display since it was shown
    // or last saved: a save keeps those the saved text still holds.
    const QList<TSpDictatedPhrase>& DictatedPhrases() const { return FDictatedPhrases; }

    // Components tests and the speech side reach directly.
    Ui::TOrvoScrivelUIform* Form() const { return ui.get(); }
    QFileSystemModel* TreeModel() const { return FTreeModel; }
    QFileSystemModel* ListModel() const { return FListModel; }
    TSaveDialog* SaveDialog1() const { return FSaveDialog1; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    // A file name as the C library takes it, in the local 8-bit encoding.
    static std::string LocalName(const QString& Name);
    void SetStatusText(const QString& Text);
    void BindListChange();
    void UnbindListChange();
    void TreeCurrentChanged(const QModelIndex& Current);
    void ListActivated(const QModelIndex& Index);
    void KeepTreeFolderInView();
    void KeepListItemInView();
    void SelectStartItem(const QString& Path);
    int SelectedCount() const;
    void SetPanel3Height(int Height);
    void RememberLayout();
    void UpdateMinimumHeight();
    void ApplyLook();
    void CreatePopupMenu2();
    void SetSpeechButtons(bool Read, bool Pause, bool Stop, bool Record, bool Configure);
    void ShowSpeechError(const QString& Text);

    std::unique_ptr<Ui::TOrvoScrivelUIform> ui;
    // The models ask the icon provider from their gatherer threads: they go
    // first (members are destroyed in reverse order).
    std::unique_ptr<TFileIcons> FIcons;
    std::unique_ptr<QFileSystemModel> FTreeModelOwner, FListModelOwner;
    QFileSystemModel* FTreeModel = nullptr;
    QFileSystemModel* FListModel = nullptr;
    QLabel* FStatusLabel = nullptr;
    TSaveDialog* FSaveDialog1 = nullptr;
    QMetaObject::Connection FListSelectionLink, FListRenameLink;
    bool FListChangeBound = false;
    bool FCreating = false;
    QString FTreeScrollPath; // the folder to keep in view while the tree loads
    QElapsedTimer FTreeScrollClock;
    QString FListScrollPath; // the start item, kept in view likewise
    // The comment as the shown file held it, or as it was last saved: what
    // a save adds to it is what dictation learns.
    QString FShownComment;
    QList<TSpDictatedPhrase> FDictatedPhrases;
    QElapsedTimer FListScrollClock;
    // The layout as the resize rule last left it.
    bool FLayoutReady = false;
    int FFormHeight = 0;
    int FPanel1Height = 0;
    int FPanel3Height = 0;
    QMenu* FPopupMenu2 = nullptr;
    QActionGroup* FVoiceGroup = nullptr;
    bool FDestroyed = false;
};

// The main window's speech side: the toolbar, read-aloud, dictation, the
// Configure menu, and the set-up and tear-down of the speech service.
#include "Unit1.h"

#include "ui_Unit1.h"

#include "appcontrols.h"
#include "screencursor.h"

#include "orvolib.h"

#include "sprecocontext.h"
#include "spvoice.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QToolButton>

#include <exception>
#include <stdexcept>

std::array<QString, 7> SpeechUITypes = {
    QStringLiteral("EngineProperties"),      QStringLiteral("AddRemoveWord"), QStringLiteral("UserTraining"),
    QStringLiteral("MicTraining"),           QStringLiteral("RecoProfileProperties"),
    QStringLiteral("AudioProperties"),       QStringLiteral("AudioVolume"),
};
std::array<QString, 7> SpeechUICaptions = {
    QStringLiteral("Engine Properties"),   QStringLiteral("Add/Remove Word"), QStringLiteral("User Training"),
    QStringLiteral("Microphone Training"), QStringLiteral("Record Profile"),  QStringLiteral("Audio Properties"),
    QStringLiteral("Audio Volume"),
};
bool SpeechPaused = false;

namespace {

const char* const kGroupIndex = "GroupIndex";

const char* const kEngineProblem = "Sorry, there seems to be a problem with your speech engine.\r\n"
                                   "Please check the installation and configuration of the SAPI,\r\n"
                                   "then restart this application.";
const char* const kRecognitionProblem = "Sorry, there seems to be a problem with the speech recognition.\r\n"
                                        "Please check the installation and configuration of the SAPI,\r\n"
                                        "then restart this application.";

int GroupIndex(const QAction* Item)
{
    return Item->property(kGroupIndex).toInt();
}

// The desktop's sound settings: the first panel found on PATH, else the mixer.
QStringList SoundSettingsCommand()
{
    static const QList<QStringList> Candidates = {
        {QStringLiteral("gnome-control-center"), QStringLiteral("sound")},
        {QStringLiteral("cinnamon-settings"), QStringLiteral("sound")},
        {QStringLiteral("mate-volume-control")},
        {QStringLiteral("xfce4-pulseaudio-plugin")},
        {QStringLiteral("kcmshell5"), QStringLiteral("kcm_pulseaudio")},
        {QStringLiteral("pavucontrol")},
    };
    for (const QStringList& C : Candidates)
        if (!QStandardPaths::findExecutable(C.front()).isEmpty())
            return C;
    return {};
}

bool HasMixer()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pavucontrol")).isEmpty();
}

} // namespace

// ---- set-up -----------------------------------------------------------------

void TOrvoScrivelUIform::CreatePopupMenu2()
{
    FPopupMenu2 = new QMenu(this);
    FPopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    // The synthesiser installs over a hundred voices: one scrolling column
    // keeps every item reachable, where wrapped columns run off the screen.
    FPopupMenu2->setStyleSheet(QStringLiteral("QMenu { menu-scrollable: 1; }"));
    auto AddFixed = [this](const char* Name, const char* Caption) {
        auto* Item = FPopupMenu2->addAction(QString::fromLatin1(Caption));
        Item->setObjectName(QString::fromLatin1(Name));
        Item->setProperty(kGroupIndex, 0);
        connect(Item, &QAction::triggered, this, [this, Item] { VolumeControl1Click(Item); });
        return Item;
    };
    AddFixed("SoundsandAudiDevices1", "Sounds and Audio Devices");
    AddFixed("VolumeControl1", "Volume Control");
    FPopupMenu2->addSeparator()->setProperty(kGroupIndex, 0);
    FVoiceGroup = new QActionGroup(FPopupMenu2);
    FVoiceGroup->setExclusive(true);

    // Only the left button opens the menu on press; the right one opens it as
    // the button's context menu.
    ui->ToolButton5->installEventFilter(this);
    ui->ToolButton5->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->ToolButton5, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& At) { FPopupMenu2->popup(ui->ToolButton5->mapToGlobal(At)); });

    connect(ui->ToolButton1, &QToolButton::clicked, this, [this] { ToolButton1Click(ui->ToolButton1); });
    connect(ui->ToolButton2, &QToolButton::clicked, this, [this] { ToolButton2Click(ui->ToolButton2); });
    connect(ui->ToolButton3, &QToolButton::clicked, this, [this] { ToolButton3Click(ui->ToolButton3); });
    connect(ui->ToolButton4, &QToolButton::clicked, this, [this] { ToolButton4Click(ui->ToolButton4); });

    if (!StartTool)
        StartTool = [](const QString& Program, const QStringList& Arguments) {
            return QProcess::startDetached(Program, Arguments);
        };
}

// A service that fails shows only as a disabled button and a shorter menu.
void TOrvoScrivelUIform::FormCreate(QObject*)
{
    SpeechReco = nullptr;

    // Read-aloud.
    try {
        SpeechVoice = new TSpVoice(this);
        SpeechVoice->SetAutoConnect(true);
        connect(SpeechVoice, &TSpVoice::OnEndStream, this, &TOrvoScrivelUIform::VoiceEndStream);
        connect(SpeechVoice, &TSpVoice::OnWord, this, &TOrvoScrivelUIform::VoiceWord);
        const TSpObjectTokens Voices = SpeechVoice->GetVoices(QString(), QString());
        const int Count = Voices.Count();
        for (int I = 0; I < Count; ++I) {
            const TSpObjectToken Token = Voices.Item(I);
            auto* Item = new QAction(FPopupMenu2);
            FPopupMenu2->addAction(Item);
            Item->setText(QStringLiteral("Voice: ") + Token.GetDescription(0));
            Item->setCheckable(true);
            if (SpeechVoice->Voice().GetDescription(0) == Token.GetDescription(0))
                Item->setChecked(true);
            connect(Item, &QAction::triggered, this, [this, Item] { VoiceItemClick(Item); });
            Item->setProperty(kGroupIndex, 5);
            FVoiceGroup->addAction(Item);
            Item->setData(QVariant::fromValue(Token));
        }
        QAction* Separator = FPopupMenu2->addSeparator();
        Separator->setProperty(kGroupIndex, 6);
        ui->ToolButton1->setEnabled(true);
    } catch (...) {
    }

    // Dictation.
    try {
        SpeechReco = new TSpSharedRecoContext(this);
        try {
            SpeechReco->SetEventInterests(SREAllEvents);
        } catch (...) {
        }
        try {
            DictationGrammar = SpeechReco->CreateGrammar(0);
            DictationGrammar->DictationSetState(SGDSInactive);
        } catch (...) {
        }
        connect(SpeechReco, &TSpSharedRecoContext::OnRecognition, this,
                &TOrvoScrivelUIform::RecoContextRecognition);
        for (int I = 0; I < int(SpeechUITypes.size()); ++I) {
            if (!SpeechReco->Recognizer()->IsUISupported(SpeechUITypes[I], QVariant()))
                continue;
            auto* Item = new QAction(FPopupMenu2);
            FPopupMenu2->addAction(Item);
            Item->setText(QStringLiteral("UI: ") + SpeechUICaptions[I]);
            connect(Item, &QAction::triggered, this, [this, Item] { SpeechUIItemClick(Item); });
            Item->setProperty(kGroupIndex, 7 + I);
            Item->setData(I);
        }
        ui->ToolButton4->setEnabled(true);
    } catch (...) {
    }
}

void TOrvoScrivelUIform::FormDestroy(QObject*)
{
    if (FDestroyed)
        return;
    FDestroyed = true;
    if (FPopupMenu2) {
        const QList<QAction*> Items = FPopupMenu2->actions();
        for (qsizetype I = Items.size() - 1; I >= 3; --I) {
            QAction* Item = Items[I];
            if (GroupIndex(Item) == 5)
                Item->setData(QVariant()); // the token it holds
            FPopupMenu2->removeAction(Item);
            delete Item;
        }
    }
    // Speech still playing or a phrase still being decoded must not reach a
    // window that is going away.
    if (SpeechVoice) {
        SpeechVoice->disconnect(this);
        delete SpeechVoice;
        SpeechVoice = nullptr;
    }
    if (SpeechReco) {
        SpeechReco->disconnect(this);
        delete SpeechReco;
        SpeechReco = nullptr;
    }
}

// ---- toolbar ----------------------------------------------------------------

void TOrvoScrivelUIform::SetSpeechButtons(bool Read, bool Pause, bool Stop, bool Record, bool Configure)
{
    ui->ToolButton1->setEnabled(Read);
    ui->ToolButton2->setEnabled(Pause);
    ui->ToolButton3->setEnabled(Stop);
    ui->ToolButton4->setEnabled(Record);
    ui->ToolButton5->setEnabled(Configure);
}

void TOrvoScrivelUIform::ShowSpeechError(const QString& Text)
{
    QMessageBox Box(QMessageBox::Critical, QStringLiteral("Error"), Text, QMessageBox::Ok, this);
    Box.exec();
}

// Read: starts reading the comment, or resumes a paused reading.
void TOrvoScrivelUIform::ToolButton1Click(QObject*)
{
    if (CommentText().isEmpty())
        return;
    SetCommentSelection(0, 0);
    SetSpeechButtons(false, true, true, false, false);
    try {
        if (!SpeechVoice)
            throw std::runtime_error("The speech synthesiser is not available");
        if (SpeechPaused) {
            SpeechVoice->Resume();
            SpeechPaused = false;
        } else {
            // Word events count UTF-16 units of this text with CR LF line
            // breaks: the very positions the comment field's selection takes.
            SpeechVoice->Speak(CommentText(), SVSFlagsAsync);
        }
    } catch (...) {
        SpeechPaused = false;
        ToolButton3Click(ui->ToolButton3);
        ShowSpeechError(QString::fromLatin1(kEngineProblem));
    }
}

// Pause.
void TOrvoScrivelUIform::ToolButton2Click(QObject*)
{
    if (!SpeechVoice)
        throw std::runtime_error("The speech synthesiser is not available");
    SpeechVoice->Pause();
    SpeechPaused = true;
    ui->ToolButton1->setEnabled(true);
    ui->ToolButton2->setEnabled(false);
}

// Stop: ends dictation or drops the speech. The toolbar returns to Idle even
// when the service fails, so it cannot stay stuck with only Stop enabled; the
// failure then goes on to the general error report.
void TOrvoScrivelUIform::ToolButton3Click(QObject*)
{
    SetScreenCursor(crDefault);
    bool WasReading = false;
    std::exception_ptr Failure;
    try {
        if (Dictating) {
            Dictating = false;
            if (!DictationGrammar)
                throw std::runtime_error("The dictation grammar is not available");
            DictationGrammar->DictationSetState(SGDSInactive);
        } else {
            WasReading = true;
            if (!SpeechVoice)
                throw std::runtime_error("The speech synthesiser is not available");
            SpeechVoice->Speak(QString(), SVSFPurgeBeforeSpeak);
        }
    } catch (...) {
        Failure = std::current_exception();
    }
    SpeechPaused = false;
    if (WasReading)
        SetCommentSelection(0, 0);
    SetSpeechButtons(true, false, false, true, true);
    if (Failure)
        std::rethrow_exception(Failure);
}

// Record: dictation into the comment field until Stop.
void TOrvoScrivelUIform::ToolButton4Click(QObject*)
{
    Dictating = true;
    SetScreenCursor(crRecording);
    SetSpeechButtons(false, false, true, false, false);
    try {
        if (!DictationGrammar)
            throw std::runtime_error("The dictation grammar is not available");
        DictationGrammar->DictationSetState(SGDSActive);
    } catch (...) {
        Dictating = false;
        ToolButton3Click(ui->ToolButton3);
        ShowSpeechError(QString::fromLatin1(kRecognitionProblem));
    }
}

void TOrvoScrivelUIform::ToolButton5MouseDown(QObject*, Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int Y)
{
    if (Button != Qt::LeftButton)
        return;
    FPopupMenu2->popup(ui->ToolButton5->mapToGlobal(QPoint(X, Y)));
}

// ---- Configure menu ---------------------------------------------------------

// Neither tool's start is reported.
void TOrvoScrivelUIform::VolumeControl1Click(QObject* Sender)
{
    const bool Mixer = Sender && Sender->objectName() == QLatin1String("VolumeControl1");
    if (Mixer && HasMixer()) {
        OpenDocument(this, QStringLiteral("pavucontrol"));
        return;
    }
    const QStringList Command = SoundSettingsCommand();
    if (!Command.isEmpty() && StartTool)
        StartTool(Command.front(), Command.mid(1));
}

void TOrvoScrivelUIform::VoiceItemClick(QObject* Sender)
{
    auto* Item = qobject_cast<QAction*>(Sender);
    if (!Item || !SpeechVoice)
        throw std::runtime_error("The speech synthesiser is not available");
    SpeechVoice->SetVoice(Item->data().value<TSpObjectToken>());
    Item->setChecked(true);
}

void TOrvoScrivelUIform::SpeechUIItemClick(QObject* Sender)
{
    auto* Item = qobject_cast<QAction*>(Sender);
    if (!Item || !SpeechReco)
        throw std::runtime_error("The speech recogniser is not available");
    const int I = Item->data().toInt();
    SpeechReco->Recognizer()->DisplayUI(this, SpeechUICaptions[size_t(I)], SpeechUITypes[size_t(I)], QVariant());
}

// ---- the service's events -----------------------------------------------------

void TOrvoScrivelUIform::VoiceEndStream(QObject*, int, qint64)
{
    ToolButton3Click(ui->ToolButton3);
}

void TOrvoScrivelUIform::VoiceWord(QObject*, int, qint64, int CharacterPosition, int Length)
{
    SetCommentSelection(CharacterPosition, Length);
}

void TOrvoScrivelUIform::RecoContextRecognition(QObject*, int, qint64, int, const TSpRecoResult& Result)
{
    const qsizetype At = ui->Memo1->StoredSelStart();
    InsertComment(Result.PhraseInfo().GetText(0, -1, true) + u' ');
    // Noted for the save, which keeps the phrases the comment still holds.
    if (Result.PhraseId() != 0)
        FDictatedPhrases.append(TSpDictatedPhrase{Result, At});
}

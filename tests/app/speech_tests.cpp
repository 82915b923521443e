// The main window's speech toolbar end to end: the real window, the real
// engines and a private sound server (tests/speech/with-pulse.sh), or no
// server at all, or no synthesiser data (see speech.cmake for which suite
// runs where).
#include "Unit1.h"
#include "ui_Unit1.h"

#include "appcontrols.h"
#include "application.h"
#include "dicomfiles.h"
#include "screencursor.h"

#include "commentlearner.h"
#include "dictatedphrases.h"
#include "learn.h"
#include "sprecocontext.h"
#include "spsettings.h"
#include "spvoice.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMediaDevices>
#include <QAudioDevice>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QStandardPaths>
#include <QTimer>

#include "orvolib.h"
#include "own_home.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

namespace {

// Generous: the CI machine is small and shared.
constexpr int kLong = 60000;
// A learn rebuilds the whole learned model.
constexpr int kLearn = 400000;

bool WaitFor(const std::function<bool()>& Done, int Ms = kLong)
{
    return QTest::qWaitFor(Done, Ms);
}

struct TMessage {
    bool Seen = false;
    QString Title, Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
};

// Runs Trigger; a message box it opens is read and closed.
TMessage WithMessageBox(const std::function<void()>& Trigger)
{
    TMessage M;
    QTimer Poll;
    Poll.setInterval(10);
    QObject::connect(&Poll, &QTimer::timeout, [&] {
        auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!Box || M.Seen)
            return;
        M = {true, Box->windowTitle(), Box->text(), Box->icon()};
        Box->accept();
    });
    Poll.start();
    Trigger();
    Poll.stop();
    return M;
}

QByteArray MicId()
{
    for (const auto& D : QMediaDevices::audioInputs())
        if (D.description() == QLatin1String("VarneloMic"))
            return D.id();
    return {};
}

// Speech for the recogniser: flite's slt voice, 16 kHz mono 16-bit.
QByteArray Say(const QString& Text)
{
    QTemporaryDir Dir;
    const QString Wav = Dir.filePath("s.wav"), Raw = Dir.filePath("s.raw");
    if (QProcess::execute("flite", {"-voice", "slt", "-t", Text, "-o", Wav}) != 0)
        return {};
    if (QProcess::execute("sox", {Wav, "-t", "raw", "-r", "16000", "-c", "1", "-b", "16", "-e", "signed-integer", Raw}) != 0)
        return {};
    QFile F(Raw);
    return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
}

QByteArray Silence(int Ms)
{
    return QByteArray(Ms * 32, '\0');
}

// Writes audio into the microphone FIFO at twice real time on a thread of its
// own (the FIFO blocks).
class TMicFeeder {
public:
    explicit TMicFeeder(QByteArray Audio)
    {
        FThread = std::thread([this, Audio = std::move(Audio)] {
            const int Fd = ::open(qgetenv("VARNELO_MIC_FIFO").constData(), O_WRONLY);
            if (Fd < 0)
                return;
            const qsizetype Chunk = 3200; // 100 ms
            for (qsizetype At = 0; At < Audio.size(); At += Chunk) {
                const qsizetype N = std::min(Chunk, Audio.size() - At);
                if (::write(Fd, Audio.constData() + At, size_t(N)) != N)
                    break;
                usleep(50000);
            }
            ::close(Fd);
            FDone = true;
        });
    }
    ~TMicFeeder() { FThread.join(); }
    bool Done() const { return FDone; }

private:
    std::thread FThread;
    std::atomic<bool> FDone{false};
};

struct TButtons {
    bool Read, Pause, Stop, Record, Configure;
    bool operator==(const TButtons&) const = default;
};

std::ostream& operator<<(std::ostream& O, const TButtons& B)
{
    return O << "Read " << B.Read << " Pause " << B.Pause << " Stop " << B.Stop << " Record " << B.Record
             << " Configure " << B.Configure;
}

constexpr TButtons kIdle{true, false, false, true, true};
constexpr TButtons kReading{false, true, true, false, false};
constexpr TButtons kPaused{true, false, true, false, false};
constexpr TButtons kDictating{false, false, true, false, false};

class SpeechWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        SpeechPaused = false;
        W = std::make_unique<TOrvoScrivelUIform>(Folder.path());
        Ui = W->Form();
        W->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(W.get()));
    }
    void TearDown() override { W.reset(); }

    TButtons Buttons() const
    {
        return {Ui->ToolButton1->isEnabled(), Ui->ToolButton2->isEnabled(), Ui->ToolButton3->isEnabled(),
                Ui->ToolButton4->isEnabled(), Ui->ToolButton5->isEnabled()};
    }
    void Click(QWidget* B) { QTest::mouseClick(B, Qt::LeftButton); }
    QString Selected() const { return Ui->Memo1->textCursor().selectedText(); }
    // The menu's captions below the three fixed items.
    QStringList AddedItems() const
    {
        QStringList Out;
        const QList<QAction*> A = W->PopupMenu2()->actions();
        for (qsizetype I = 3; I < A.size(); ++I)
            Out << (A[I]->isSeparator() ? QStringLiteral("-") : A[I]->text());
        return Out;
    }

    QTemporaryDir Folder;
    std::unique_ptr<TOrvoScrivelUIform> W;
    Ui::TOrvoScrivelUIform* Ui = nullptr;
};

// With the sound server.
class AppSpeech : public SpeechWindow {
protected:
    static void SetUpTestSuite() { QFile::remove(SpeechSettingsPath()); }
    void SetUp() override
    {
        SpeechWindow::SetUp();
        ASSERT_NE(W->SpeechVoice, nullptr);
        ASSERT_NE(W->SpeechReco, nullptr);
        ASSERT_EQ(Buttons(), kIdle);
        // Every word the window selects, as it selects it.
        QObject::connect(W->SpeechVoice, &TSpVoice::OnWord, W.get(), [this](QObject*, int Stream, qint64, int, int) {
            Words << Selected();
            Streams << Stream;
        });
    }
    // The comment saved as a copy named Name in the test's folder, through
    // the save dialog as a user saves it; true when the copy is there.
    bool SaveCopy(const QString& Text, const QString& Name)
    {
        Ui->Memo1->setPlainText(Text);
        QTimer Poll;
        Poll.setInterval(20);
        QObject::connect(&Poll, &QTimer::timeout, [&] {
            auto* D = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!D)
                return;
            Poll.stop();
            for (auto* V : D->findChildren<QAbstractItemView*>())
                if (V->selectionModel())
                    V->selectionModel()->clearSelection();
            if (auto* Edit = D->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                Edit->setText(Folder.filePath(Name));
            static_cast<QDialog*>(D)->accept();
        });
        Poll.start();
        Ui->Label2->click();
        return QFileInfo::exists(Folder.filePath(Name));
    }
    QStringList Words;
    QList<int> Streams;
};

TEST_F(AppSpeech, ReadSelectsEachWordInOrderThenReturnsToIdle)
{
    Ui->Memo1->setPlainText(QStringLiteral("Café crème naïve\nélève à Zürich"));
    Click(Ui->ToolButton1);
    EXPECT_EQ(Buttons(), kReading);
    ASSERT_TRUE(WaitFor([&] { return Buttons() == kIdle; })) << Words.join('|').toStdString();
    EXPECT_EQ(Words, QStringList({"Café", "crème", "naïve", "élève", "à", "Zürich"}));
    EXPECT_EQ(Ui->Memo1->textCursor().position(), 0);
    EXPECT_FALSE(Ui->Memo1->textCursor().hasSelection());
    EXPECT_EQ(ScreenCursor(), crDefault);
    // The field's text is untouched.
    EXPECT_EQ(W->CommentText(), QStringLiteral("Café crème naïve\r\nélève à Zürich"));
}

// A character outside the basic plane takes two UTF-16 units in the field as
// in the text given to the service: the words after it are still selected
// exactly.
TEST_F(AppSpeech, WordsAfterACharacterOutsideTheBasicPlaneAreSelectedExactly)
{
    Ui->Memo1->setPlainText(QStringLiteral("Bone \U0001D11E density\nis normal"));
    Click(Ui->ToolButton1);
    ASSERT_TRUE(WaitFor([&] { return Buttons() == kIdle; })) << Words.join('|').toStdString();
    const qsizetype Density = Words.indexOf(QStringLiteral("density"));
    ASSERT_GE(Density, 1) << Words.join('|').toStdString();
    EXPECT_EQ(Words.front(), QStringLiteral("Bone"));
    EXPECT_EQ(Words.mid(Density), QStringList({"density", "is", "normal"}));
}

TEST_F(AppSpeech, ClosingTheWindowWhileReadingOrDictatingIsClean)
{
    Ui->Memo1->setPlainText(QStringLiteral("one two three four five six seven eight nine ten"));
    Click(Ui->ToolButton1);
    ASSERT_TRUE(WaitFor([&] { return !Words.isEmpty(); }));
    W.reset();
    QTest::qWait(500);

    W = std::make_unique<TOrvoScrivelUIform>(Folder.path());
    W->SpeechReco->Recognizer()->SetAudioInputId(MicId());
    QTest::mouseClick(W->Form()->ToolButton4, Qt::LeftButton);
    ASSERT_TRUE(W->Dictating);
    W.reset();
    EXPECT_EQ(ScreenCursor(), crRecording); // the cursor belongs to the application
    SetScreenCursor(crDefault);
    QTest::qWait(300);
}

TEST_F(AppSpeech, ReadOnAnEmptyFieldChangesNothing)
{
    Click(Ui->ToolButton1);
    QTest::qWait(300);
    EXPECT_EQ(Buttons(), kIdle);
    EXPECT_FALSE(W->SpeechVoice->IsSpeaking());
}

TEST_F(AppSpeech, PauseThenReadResumesTheSameSpeech)
{
    const QStringList All = {"one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten"};
    Ui->Memo1->setPlainText(All.join(' '));
    Click(Ui->ToolButton1);
    ASSERT_TRUE(WaitFor([&] { return Words.size() >= 2; }));
    Click(Ui->ToolButton2);
    EXPECT_EQ(Buttons(), kPaused);
    EXPECT_TRUE(SpeechPaused);
    const qsizetype Heard = Words.size();
    QTest::qWait(1000);
    EXPECT_LE(Words.size(), Heard + 1); // a word already on its way may still arrive
    const qsizetype AtResume = Words.size();

    Click(Ui->ToolButton1);
    EXPECT_EQ(Buttons(), kReading);
    EXPECT_FALSE(SpeechPaused);
    EXPECT_EQ(Ui->Memo1->textCursor().position(), 0);
    EXPECT_FALSE(Ui->Memo1->textCursor().hasSelection());
    ASSERT_TRUE(WaitFor([&] { return Buttons() == kIdle; }));
    // The rest of the words, not a new reading from the start.
    EXPECT_EQ(Words, All) << Words.join('|').toStdString();
    EXPECT_GT(Words.size(), AtResume);
    for (int S : Streams)
        EXPECT_EQ(S, Streams.front());
}

TEST_F(AppSpeech, StopWhileReadingDropsTheSpeechAndPutsTheCaretAtTheStart)
{
    Ui->Memo1->setPlainText(QStringLiteral("the quick brown fox jumps over the lazy dog and runs far away"));
    Click(Ui->ToolButton1);
    ASSERT_TRUE(WaitFor([&] { return Words.size() >= 2; }));
    Click(Ui->ToolButton3);
    EXPECT_EQ(Buttons(), kIdle);
    EXPECT_EQ(Ui->Memo1->textCursor().position(), 0);
    EXPECT_FALSE(Ui->Memo1->textCursor().hasSelection());
    EXPECT_FALSE(W->SpeechVoice->IsSpeaking());
    const qsizetype Heard = Words.size();
    QTest::qWait(1000);
    EXPECT_EQ(Words.size(), Heard);
    EXPECT_EQ(Ui->Memo1->textCursor().position(), 0);

    // Pause, Stop, Read: a new reading from the first word.
    Words.clear();
    Click(Ui->ToolButton1);
    ASSERT_TRUE(WaitFor([&] { return !Words.isEmpty(); }));
    Click(Ui->ToolButton2);
    Click(Ui->ToolButton3);
    EXPECT_FALSE(SpeechPaused);
    Words.clear();
    Click(Ui->ToolButton1);
    ASSERT_TRUE(WaitFor([&] { return !Words.isEmpty(); }));
    EXPECT_EQ(Words.front(), QStringLiteral("the"));
    Click(Ui->ToolButton3);
}

TEST_F(AppSpeech, RecordInsertsEachPhraseAtTheCaretWithOneBlank)
{
    const QByteArray Mic = MicId();
    ASSERT_FALSE(Mic.isEmpty());
    W->SpeechReco->Recognizer()->SetAudioInputId(Mic);
    ASSERT_TRUE(W->DictationGrammar);
    const QStringList Phrases = {"no fracture is seen", "the lungs are clear", "heart size is normal"};
    W->DictationGrammar->SetPhraseList(Phrases);
    QByteArray Audio = Silence(300);
    for (const QString& P : Phrases) {
        const QByteArray Speech = Say(P);
        ASSERT_FALSE(Speech.isEmpty());
        Audio += Speech + Silence(900);
    }
    Audio += Silence(600);

    Ui->Memo1->setPlainText(QStringLiteral("Chest\nend"));
    W->SetCommentSelection(7, 0); // the start of the second line
    Click(Ui->ToolButton4);
    EXPECT_EQ(Buttons(), kDictating);
    EXPECT_TRUE(W->Dictating);
    EXPECT_EQ(ScreenCursor(), crRecording);
    {
        TMicFeeder Feed(Audio);
        ASSERT_TRUE(WaitFor([&] { return Feed.Done(); }));
        ASSERT_TRUE(WaitFor([&] { return W->CommentText().count(u' ') >= 9; }, 20000)) << W->CommentText().toStdString();
    }
    Click(Ui->ToolButton3);
    EXPECT_EQ(Buttons(), kIdle);
    EXPECT_FALSE(W->Dictating);
    EXPECT_EQ(ScreenCursor(), crDefault);
    const QString Dictated = Phrases.join(' ') + u' ';
    EXPECT_EQ(W->CommentText(), QStringLiteral("Chest\r\n") + Dictated + QStringLiteral("end"));
    // The caret stays after the last phrase.
    EXPECT_EQ(Ui->Memo1->StoredSelStart(), 7 + Dictated.size());
    EXPECT_EQ(Ui->Memo1->StoredSelLength(), 0);
}

TEST_F(AppSpeech, FreeDictationGivesText)
{
    W->SpeechReco->Recognizer()->SetAudioInputId(MicId());
    W->DictationGrammar->SetPhraseList({});
    const QByteArray Speech = Say(QStringLiteral("hello world"));
    ASSERT_FALSE(Speech.isEmpty());
    Click(Ui->ToolButton4);
    {
        TMicFeeder Feed(Silence(300) + Speech + Silence(1500));
        ASSERT_TRUE(WaitFor([&] { return Feed.Done(); }));
        WaitFor([&] { return !W->CommentText().isEmpty(); }, 10000);
    }
    Click(Ui->ToolButton3); // flushes a phrase in progress
    ASSERT_TRUE(WaitFor([&] { return !W->CommentText().isEmpty(); }, 10000));
    EXPECT_TRUE(W->CommentText().endsWith(u' '));
    EXPECT_FALSE(W->CommentText().trimmed().isEmpty());
}

TEST_F(AppSpeech, APhraseReplacesTheSelectionAndRespectsTheFieldLimit)
{
    const TSpRecoResult Hello(QStringList{"hello", "world"}, 0, 0);
    Ui->Memo1->setPlainText(QStringLiteral("see\nold text"));
    W->SetCommentSelection(5, 3); // "old"
    W->RecoContextRecognition(W->SpeechReco, 1, 0, SRTStandard, Hello);
    EXPECT_EQ(W->CommentText(), QStringLiteral("see\r\nhello world  text"));
    EXPECT_EQ(Ui->Memo1->StoredSelStart(), 17);
    // Spoken punctuation arrives as text.
    const TSpRecoResult Comma(QStringList{"stable", "comma", "no", "change", "period"}, 0, 0);
    Ui->Memo1->clear();
    W->RecoContextRecognition(W->SpeechReco, 1, 0, SRTStandard, Comma);
    EXPECT_EQ(W->CommentText(), QStringLiteral("stable, no change. "));

    Ui->Memo1->setPlainText(QString(Ui->Memo1->MaxLength() - 4, u'x'));
    W->SetCommentSelection(0, 0);
    W->RecoContextRecognition(W->SpeechReco, 1, 0, SRTStandard, Hello);
    EXPECT_EQ(W->CommentText().size(), Ui->Memo1->MaxLength());
    EXPECT_TRUE(W->CommentText().startsWith(QStringLiteral("hellx")));
}

TEST_F(AppSpeech, ConfigureMenuListsVoicesWithTheCurrentOneTickedAndTheDialogs)
{
    const QList<QAction*> A = W->PopupMenu2()->actions();
    ASSERT_GE(A.size(), 3);
    EXPECT_EQ(A[0]->text(), QStringLiteral("Sounds and Audio Devices"));
    EXPECT_EQ(A[1]->text(), QStringLiteral("Volume Control"));
    EXPECT_TRUE(A[2]->isSeparator());

    const TSpObjectTokens Voices = W->SpeechVoice->GetVoices();
    ASSERT_GT(Voices.Count(), 0);
    const QString Current = W->SpeechVoice->Voice().GetDescription();
    QStringList Expected;
    for (const TSpObjectToken& T : Voices.Items())
        Expected << QStringLiteral("Voice: ") + T.GetDescription();
    Expected << QStringLiteral("-") << QStringLiteral("UI: Engine Properties") << QStringLiteral("UI: Add/Remove Word")
             << QStringLiteral("UI: User Training") << QStringLiteral("UI: Microphone Training") << QStringLiteral("UI: Audio Properties")
             << QStringLiteral("UI: Audio Volume");
    EXPECT_EQ(AddedItems(), Expected);

    int Ticked = 0, LastGroup = 0;
    QAction* Other = nullptr;
    for (QAction* I : A) {
        const int Group = I->property("GroupIndex").toInt();
        EXPECT_GE(Group, LastGroup) << I->text().toStdString();
        LastGroup = Group;
        if (Group != 5)
            continue;
        if (I->isChecked()) {
            ++Ticked;
            EXPECT_EQ(I->text(), QStringLiteral("Voice: ") + Current);
        } else if (!Other) {
            Other = I;
        }
    }
    EXPECT_EQ(Ticked, 1);

    // Choosing another voice ticks it alone and makes it the voice in use.
    if (Other) {
        Other->trigger();
        EXPECT_TRUE(Other->isChecked());
        EXPECT_EQ(QStringLiteral("Voice: ") + W->SpeechVoice->Voice().GetDescription(), Other->text());
        int Now = 0;
        for (QAction* I : A)
            Now += I->isChecked();
        EXPECT_EQ(Now, 1);
    }

    // A left press opens the menu at the pointer; a right press does not.
    QTest::mousePress(Ui->ToolButton5, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_FALSE(W->PopupMenu2()->isVisible());
    QTest::mouseRelease(Ui->ToolButton5, Qt::RightButton, {}, QPoint(5, 5));
    W->PopupMenu2()->hide();
    QTest::mousePress(Ui->ToolButton5, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(WaitFor([&] { return W->PopupMenu2()->isVisible(); }, 5000));
    // (Where it lands is the screen's business: a long voice list is moved
    // to fit.)  The service's short list fits a 1280 x 860 screen whole.
    EXPECT_LE(W->PopupMenu2()->sizeHint().height(), 860);
    W->PopupMenu2()->hide();
}

// What a saved comment adds is heard from the next dictation: its new words
// join the recogniser's dictionary (a phrase grammar here, for exact text)
// and language model. With the switch off a save teaches nothing.
TEST_F(AppSpeech, ASavedCommentsNewWordsAreHeardAtTheNextDictation)
{
    const QString Source = Folder.filePath(QStringLiteral("ct.dcm"));
    testgen::WriteFile(Source.toStdString(), appfiles::MakeCT({}));
    ASSERT_TRUE(W->ShowFile(Source));
    ASSERT_TRUE(W->DictationGrammar);
    const QString Sentence = QStringLiteral("the zentrilax shows mild florpitude");
    const QStringList Phrases = {Sentence, QStringLiteral("no fracture is seen")};
    EXPECT_THROW(W->DictationGrammar->SetPhraseList(Phrases), ESpeechError);
    ASSERT_TRUE(SaveCopy(QStringLiteral("The zentrilax shows mild florpitude."), QStringLiteral("saved.dcm")));
    ASSERT_TRUE(W->SpeechReco->WaitUntilLearned(kLearn));
    EXPECT_EQ(LearnedStatus().commentSentences, 1);

    SetSavedCommentsLearned(false);
    ASSERT_TRUE(SaveCopy(QStringLiteral("The glorbinex is unchanged."), QStringLiteral("again.dcm")));
    ASSERT_TRUE(W->SpeechReco->WaitUntilLearned(kLearn));
    EXPECT_EQ(LearnedStatus().commentSentences, 1);
    SetSavedCommentsLearned(true);

    W->SpeechReco->Recognizer()->SetAudioInputId(MicId());
    const QByteArray Speech = Say(Sentence);
    ASSERT_FALSE(Speech.isEmpty());
    Ui->Memo1->clear();
    Click(Ui->ToolButton4);
    ASSERT_EQ(Buttons(), kDictating);
    // The dictation loaded the learned dictionary.
    W->DictationGrammar->SetPhraseList(Phrases);
    {
        TMicFeeder Feed(Silence(300) + Speech + Silence(1200));
        ASSERT_TRUE(WaitFor([&] { return Feed.Done(); }));
        WaitFor([&] { return !W->CommentText().isEmpty(); }, 20000);
    }
    Click(Ui->ToolButton3);
    W->DictationGrammar->SetPhraseList({});
    EXPECT_EQ(W->CommentText(), Sentence + u' ');
    ForgetLearned();
}

// Phrases dictated into a comment become training material when it is
// saved: one corrected before saving is kept with the corrected words, one
// rewritten is not; with the switch off nothing is kept.
TEST_F(AppSpeech, DictatedPhrasesTheSavedCommentHoldsAreKeptWithTheCorrectedWords)
{
    RemoveDictatedPhrases();
    SetSavedCommentsLearned(false); // not what this is about, and slow
    const QString Source = Folder.filePath(QStringLiteral("ct.dcm"));
    testgen::WriteFile(Source.toStdString(), appfiles::MakeCT({}));
    ASSERT_TRUE(W->ShowFile(Source));
    W->SpeechReco->Recognizer()->SetAudioInputId(MicId());
    const QStringList Phrases = {QStringLiteral("the liver is normal"), QStringLiteral("no fracture is seen")};
    W->DictationGrammar->SetPhraseList(Phrases);
    const QByteArray Liver = Say(Phrases[0]), Fracture = Say(Phrases[1]);
    ASSERT_FALSE(Liver.isEmpty() || Fracture.isEmpty());
    const auto Dictate = [&](const QByteArray& Audio, int Count) {
        Ui->Memo1->clear();
        Click(Ui->ToolButton4);
        {
            TMicFeeder Feed(Audio);
            EXPECT_TRUE(WaitFor([&] { return Feed.Done(); }));
            EXPECT_TRUE(WaitFor([&] { return W->DictatedPhrases().size() >= Count; }, 20000));
        }
        Click(Ui->ToolButton3);
    };
    const auto Save = [&](const QString& Text, const QString& Name) {
        EXPECT_TRUE(SaveCopy(Text, Name)) << Name.toStdString();
        EXPECT_TRUE(W->SpeechReco->WaitUntilPhrasesKept(kLong));
    };

    SetDictatedPhrasesKept(false);
    Dictate(Silence(300) + Fracture + Silence(1200), 1);
    Save(QStringLiteral("No fracture is seen."), QStringLiteral("off.dcm"));
    EXPECT_TRUE(W->DictatedPhrases().isEmpty());
    EXPECT_EQ(DictatedPhrasesSize().entries, 0);
    SetDictatedPhrasesKept(true);

    Dictate(Silence(300) + Liver + Silence(1200) + Fracture + Silence(1200), 2);
    ASSERT_EQ(W->DictatedPhrases().size(), 2);
    EXPECT_EQ(W->CommentText(), Phrases.join(u' ') + u' ');
    // The first corrected, the second written anew.
    Save(QStringLiteral("The liver is enlarged. Stable bones."), QStringLiteral("on.dcm"));
    EXPECT_TRUE(W->DictatedPhrases().isEmpty());
    const TKeptRecordings Kept = LoadDictatedPhrases();
    EXPECT_TRUE(Kept.problems.isEmpty()) << Kept.problems.join(u'\n').toStdString();
    EXPECT_EQ(Kept.prompts, QStringList{QStringLiteral("the liver is enlarged")});
    ASSERT_EQ(Kept.recordings.size(), 1u);
    // The phrase's sound, with a little quiet around it.
    EXPECT_GE(qsizetype(Kept.recordings[0].size()), Liver.size() / 2 * 4 / 5);
    EXPECT_LE(qsizetype(Kept.recordings[0].size()), Liver.size() / 2 + 16000 * 3 / 2);
    RemoveDictatedPhrases();
    SetSavedCommentsLearned(true);
}

// Each audio tool starts the desktop's program found on PATH, detached, and
// nothing is reported whatever happens.
TEST_F(AppSpeech, TheAudioToolsStartTheDesktopsMixerAndSoundSettings)
{
    QTemporaryDir Bin;
    auto Install = [&](const char* Name) {
        QFile F(Bin.filePath(QString::fromLatin1(Name)));
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write("#!/bin/sh\nexit 0\n");
        F.close();
        F.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    const QByteArray Path = qgetenv("PATH");
    qputenv("PATH", Bin.path().toLocal8Bit());
    QStringList Started;
    W->StartTool = [&](const QString& Program, const QStringList& Arguments) {
        Started << (QStringList{QFileInfo(Program).fileName()} + Arguments).join(' ');
        return false;
    };
    const TDocumentOpener Before = SetDocumentOpener([&](QWidget*, const QString& Target) {
        Started << QStringLiteral("open ") + Target;
        return false;
    });
    auto Both = [&] {
        Started.clear();
        for (QAction* I : W->PopupMenu2()->actions().mid(0, 2))
            I->trigger();
        return Started;
    };

    const QStringList Nothing = Both();
    Install("pavucontrol");
    const QStringList MixerOnly = Both();
    Install("gnome-control-center");
    const QStringList Desktop = Both();

    SetDocumentOpener(Before);
    qputenv("PATH", Path);
    EXPECT_TRUE(Nothing.isEmpty()) << Nothing.join('|').toStdString();
    EXPECT_EQ(MixerOnly, QStringList({"pavucontrol", "open pavucontrol"}));
    EXPECT_EQ(Desktop, QStringList({"gnome-control-center sound", "open pavucontrol"}));
    EXPECT_FALSE(QApplication::activeModalWidget());
}

// No sound server: the voices are listed but nothing can be heard, and the
// recogniser cannot be reached.
using AppSpeechNoServer = SpeechWindow;

TEST_F(AppSpeechNoServer, ReadIsOfferedButFailsWithItsMessageAndRecordFollowsStop)
{
    EXPECT_EQ(Buttons(), (TButtons{true, false, false, false, true}));
    const QStringList Added = AddedItems();
    ASSERT_FALSE(Added.isEmpty());
    EXPECT_EQ(Added.back(), QStringLiteral("-")); // voices, the separator, no dialogs
    for (qsizetype I = 0; I + 1 < Added.size(); ++I)
        EXPECT_TRUE(Added[I].startsWith(QStringLiteral("Voice: ")));

    Ui->Memo1->setPlainText(QStringLiteral("hello there"));
    TMessage M = WithMessageBox([&] { Click(Ui->ToolButton1); });
    ASSERT_TRUE(M.Seen);
    EXPECT_EQ(M.Title, QStringLiteral("Error"));
    EXPECT_EQ(M.Icon, QMessageBox::Critical);
    EXPECT_EQ(M.Text, QStringLiteral("Sorry, there seems to be a problem with your speech engine.\r\n"
                                     "Please check the installation and configuration of the SAPI,\r\n"
                                     "then restart this application."));
    EXPECT_EQ(Buttons(), kIdle); // Stop enabled Record too
    EXPECT_FALSE(SpeechPaused);

    M = WithMessageBox([&] { Click(Ui->ToolButton4); });
    ASSERT_TRUE(M.Seen);
    EXPECT_EQ(M.Title, QStringLiteral("Error"));
    EXPECT_EQ(M.Icon, QMessageBox::Critical);
    EXPECT_EQ(M.Text, QStringLiteral("Sorry, there seems to be a problem with the speech recognition.\r\n"
                                     "Please check the installation and configuration of the SAPI,\r\n"
                                     "then restart this application."));
    EXPECT_EQ(Buttons(), kIdle);
    EXPECT_FALSE(W->Dictating);
    EXPECT_EQ(ScreenCursor(), crDefault);
}

// The synthesiser's data is missing; the sound server is there.
class AppSpeechMissingData : public SpeechWindow {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Empty.isValid());
        {
            auto S = OpenSpeechSettings();
            S->setValue(kVoiceDataPath, Empty.path());
        }
        SpeechWindow::SetUp();
    }
    void TearDown() override
    {
        SpeechWindow::TearDown();
        QFile::remove(SpeechSettingsPath());
    }
    QTemporaryDir Empty;
};

TEST_F(AppSpeechMissingData, ReadStaysOffAndAFailingStopStillReturnsToIdle)
{
    EXPECT_EQ(Buttons(), (TButtons{false, false, false, true, true}));
    // No voices and no added separator: the dialogs follow the fixed items.
    const QStringList Added = AddedItems();
    ASSERT_FALSE(Added.isEmpty());
    for (const QString& I : Added)
        EXPECT_TRUE(I.startsWith(QStringLiteral("UI: "))) << I.toStdString();

    // Record and Stop enable Read; Read then fails, and so does the purge of
    // the Stop it runs: one general error report, no specific message, and
    // the toolbar back at Idle.
    W->SpeechReco->Recognizer()->SetAudioInputId(MicId());
    Click(Ui->ToolButton4);
    ASSERT_EQ(Buttons(), kDictating);
    Click(Ui->ToolButton3);
    ASSERT_EQ(Buttons(), kIdle);

    auto* App = static_cast<TVarneloApplication*>(qApp);
    QStringList Reports;
    App->OnShowException = [&](const QString&, const QString& Text) { Reports << Text; };
    Ui->Memo1->setPlainText(QStringLiteral("hello"));
    const TMessage M = WithMessageBox([&] { Click(Ui->ToolButton1); });
    App->OnShowException = nullptr;
    EXPECT_FALSE(M.Seen);
    EXPECT_EQ(Reports.size(), 1);
    EXPECT_EQ(Buttons(), kIdle);
    EXPECT_FALSE(SpeechPaused);

    // And a bare Stop the same way.
    Reports.clear();
    App->OnShowException = [&](const QString&, const QString& Text) { Reports << Text; };
    W->SpeechVoice->SetAutoConnect(true);
    Ui->ToolButton3->setEnabled(true);
    Click(Ui->ToolButton3);
    App->OnShowException = nullptr;
    EXPECT_EQ(Reports.size(), 1);
    EXPECT_EQ(Buttons(), kIdle);
}

} // namespace

int main(int argc, char** argv)
{
    const TOwnHome Home;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TVarneloApplication App(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

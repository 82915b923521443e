// The main window's speech side, end to end through the real window:
//  words   - a word is selected in the comment field how long after its audio
//            reached the sink (the sink's processed time at the moment the
//            selection is in place, minus the word's first sample), against
//            the same events scheduled by wall time from Read;
//  phrases - a dictated phrase is in the comment field how long after the end
//            of its speech was written to the microphone.
// Run by bench/app_speech.sh against a private PulseAudio server.
#include "Unit1.h"
#include "ui_Unit1.h"

#include "appcontrols.h"
#include "application.h"

#include "sprecocontext.h"
#include "spsettings.h"
#include "spvoice.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

qint64 NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double Percentile(std::vector<double> V, double P)
{
    if (V.empty())
        return 0;
    std::sort(V.begin(), V.end());
    return V[std::min(V.size() - 1, size_t(P * double(V.size() - 1) + 0.5))];
}

QByteArray Say(const QString& Text)
{
    QTemporaryDir Dir;
    const QString Wav = Dir.filePath("s.wav"), Raw = Dir.filePath("s.raw");
    QProcess::execute("flite", {"-voice", "slt", "-t", Text, "-o", Wav});
    QProcess::execute("sox", {Wav, "-t", "raw", "-r", "16000", "-c", "1", "-b", "16", "-e", "signed-integer", Raw});
    QFile F(Raw);
    return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
}

qsizetype SpeechEnd(const QByteArray& Pcm)
{
    const auto* S = reinterpret_cast<const short*>(Pcm.constData());
    for (qsizetype I = Pcm.size() / 2 - 1; I >= 0; --I)
        if (std::abs(int(S[I])) > 600)
            return (I + 1) * 2;
    return 0;
}

const char* kTexts[] = {
    "The chest radiograph shows clear lung fields without focal consolidation, effusion or pneumothorax.\n"
    "The cardiac silhouette is within normal limits and the mediastinum is not widened.",
    "Follow-up imaging in six weeks is recommended to confirm resolution of the small nodule in the\n"
    "right upper lobe, measuring about four millimetres.",
};

int Words(const QString& Folder)
{
    std::vector<double> Late, WallError;
    int Wrong = 0;
    for (const char* T : kTexts) {
        TOrvoScrivelUIform W(Folder); // a voice and so a sink of its own
        W.show();
        QTest::qWaitForWindowExposed(&W);
        W.Form()->Memo1->setPlainText(QString::fromLatin1(T));
        const QString Text = W.CommentText();
        qint64 ReadAt = 0;
        // Connected after the window's own handler: the word is selected by now.
        QObject::connect(W.SpeechVoice, &TSpVoice::OnWord, &W, [&](QObject*, int, qint64 Pos, int At, int Len) {
            const qint64 Now = NowUs();
            const double WordUs = double(Pos) * 1e6 / (22050.0 * 2);
            const double LateUs = double(W.SpeechVoice->SinkProcessedUSecs()) - WordUs;
            if (W.Form()->Memo1->StoredSelStart() != At || W.Form()->Memo1->StoredSelLength() != Len)
                ++Wrong;
            Late.push_back(LateUs / 1000);
            WallError.push_back(std::abs(double(ReadAt) + WordUs - (double(Now) - LateUs)) / 1000);
        });
        QTest::mouseClick(W.Form()->ToolButton1, Qt::LeftButton);
        ReadAt = NowUs();
        if (!QTest::qWaitFor([&] { return W.Form()->ToolButton1->isEnabled() && !W.Form()->ToolButton3->isEnabled(); },
                             120000)) {
            std::fprintf(stderr, "reading did not end\n");
            return 1;
        }
        (void)Text;
    }
    std::printf("word selected after its audio reached the sink, %zu words (%d selections wrong): median %.1f ms, "
                "p95 %.1f ms, max %.1f ms (target 50 ms) %s\n",
                Late.size(), Wrong, Percentile(Late, 0.5), Percentile(Late, 0.95), Percentile(Late, 1.0),
                Percentile(Late, 0.95) <= 50 ? "met" : "MISSED");
    std::printf("peer, the same events by wall time from Read: median error %.1f ms, p95 %.1f ms; "
                "ratio of medians %.1fx\n",
                Percentile(WallError, 0.5), Percentile(WallError, 0.95),
                Percentile(WallError, 0.5) / std::max(0.1, Percentile(Late, 0.5)));
    return 0;
}

QByteArray MicId()
{
    for (const auto& D : QMediaDevices::audioInputs())
        if (D.description() == QLatin1String("VarneloMic"))
            return D.id();
    return {};
}

int Phrases(const QString& Folder)
{
    QFile::remove(SpeechSettingsPath());
    const QStringList Phrases = {"the patient is stable", "no fracture is seen", "follow up in two weeks",
                                 "the lungs are clear", "there is no fluid", "compare with the previous study"};
    struct TPiece {
        QByteArray Pcm;
        qsizetype SpeechEnd;
    };
    std::vector<TPiece> Pieces;
    for (const auto& P : Phrases) {
        QByteArray Pcm = Say(P);
        Pieces.push_back({Pcm, SpeechEnd(Pcm)});
    }
    TOrvoScrivelUIform W(Folder);
    W.show();
    QTest::qWaitForWindowExposed(&W);
    W.SpeechReco->Recognizer()->SetAudioInputId(MicId());
    W.DictationGrammar->SetPhraseList(Phrases);
    std::vector<qint64> Ends(Pieces.size(), 0), Got;
    QObject::connect(W.Form()->Memo1, &QPlainTextEdit::textChanged, &W, [&] { Got.push_back(NowUs()); });
    QTest::mouseClick(W.Form()->ToolButton4, Qt::LeftButton);
    QTest::qWait(300);
    std::atomic<bool> Done{false};
    std::thread Feeder([&] {
        const int Fd = ::open(qgetenv("VARNELO_MIC_FIFO").constData(), O_WRONLY);
        if (Fd < 0) {
            Done = true;
            return;
        }
        const QByteArray Silence(32 * 1500, '\0');
        const qint64 Start = NowUs();
        qint64 Fed = 0; // paced at real time in 20 ms pieces
        auto Write = [&](const QByteArray& A, qsizetype Mark, qint64* MarkAt) {
            for (qsizetype At = 0; At < A.size(); At += 640) {
                const qsizetype N = std::min<qsizetype>(640, A.size() - At);
                const qint64 Due = Start + Fed * 1000000 / 32000;
                const qint64 Now = NowUs();
                if (Due > Now)
                    usleep(useconds_t(Due - Now));
                if (::write(Fd, A.constData() + At, size_t(N)) != N)
                    return;
                Fed += N;
                if (MarkAt && At + N >= Mark && !*MarkAt)
                    *MarkAt = NowUs();
            }
        };
        Write(Silence, 0, nullptr);
        for (size_t I = 0; I < Pieces.size(); ++I) {
            Write(Pieces[I].Pcm, Pieces[I].SpeechEnd, &Ends[I]);
            Write(Silence, 0, nullptr);
        }
        ::close(Fd);
        Done = true;
    });
    QTest::qWaitFor([&] { return Done.load(); }, 120000);
    Feeder.join();
    QTest::qWait(1000);
    QTest::mouseClick(W.Form()->ToolButton3, Qt::LeftButton);
    std::vector<double> Lat;
    for (qint64 T : Got) {
        qint64 Best = 0;
        for (qint64 E : Ends)
            if (E && E <= T)
                Best = std::max(Best, E);
        if (Best)
            Lat.push_back(double(T - Best) / 1000);
    }
    const bool Exact = W.CommentText() == Phrases.join(' ') + u' ';
    std::printf("phrase in the comment field after the end of its speech, %zu phrases (%zu inserted, text %s): "
                "median %.0f ms, max %.0f ms (target 500 ms) %s\n",
                Pieces.size(), Lat.size(), Exact ? "exact" : "differs", Percentile(Lat, 0.5), Percentile(Lat, 1.0),
                !Lat.empty() && Percentile(Lat, 1.0) <= 500 ? "met" : "MISSED");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    TVarneloApplication App(argc, argv);
    const QString What = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    QTemporaryDir Folder;
    if (What == QLatin1String("words"))
        return Words(Folder.path());
    if (What == QLatin1String("phrases"))
        return Phrases(Folder.path());
    std::fprintf(stderr, "usage: bench_app_speech words|phrases\n");
    return 2;
}

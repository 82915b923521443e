// Continuous dictation through the main window for many minutes: the
// development sentences, spoken by synthetic voices, are written in a loop
// at real time into the private sound server's microphone; the window hears
// them through its audio input.  Phrases heard against phrases spoken (a
// phrase grammar of the sentences, so the text can be compared exactly),
// resident memory, and the phrase latency per five-minute window.
#include "longrun_common.h"

#include "Unit1.h"
#include "ui_Unit1.h"

#include "appcontrols.h"

#include "sprecocontext.h"
#include "spsettings.h"

#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>

using namespace longrun;

namespace {

struct TPiece {
    int Sentence;
    QByteArray Pcm;
    qsizetype SpeechEnd; // bytes up to the last loud sample
};

qsizetype SpeechEnd(const QByteArray& Pcm)
{
    const auto* S = reinterpret_cast<const short*>(Pcm.constData());
    for (qsizetype I = Pcm.size() / 2 - 1; I >= 0; --I)
        if (std::abs(int(S[I])) > 600)
            return (I + 1) * 2;
    return 0;
}

QByteArray MicId()
{
    for (const auto& D : QMediaDevices::audioInputs())
        if (D.description() == QLatin1String("VarneloMic"))
            return D.id();
    return {};
}

struct TSent {
    int Sentence;
    qint64 EndUs; // the end of its speech was written to the microphone
};

struct THeard {
    qint64 AtUs;
    QString Words;
};

// Word edit distance of Heard against Said.
int WordErrors(const QString& Said, const QString& Heard)
{
    const QStringList A = Said.split(u' ', Qt::SkipEmptyParts), B = Heard.split(u' ', Qt::SkipEmptyParts);
    std::vector<int> Row(size_t(B.size()) + 1);
    for (size_t J = 0; J < Row.size(); ++J)
        Row[J] = int(J);
    for (qsizetype I = 1; I <= A.size(); ++I) {
        int Diagonal = Row[0];
        Row[0] = int(I);
        for (qsizetype J = 1; J <= B.size(); ++J) {
            const int Up = Row[size_t(J)];
            Row[size_t(J)] = std::min({Up + 1, Row[size_t(J) - 1] + 1, Diagonal + (A[I - 1] == B[J - 1] ? 0 : 1)});
            Diagonal = Up;
        }
    }
    return Row.back();
}

} // namespace

// Args: SENTENCES AUDIO-FOLDER MINUTES [GAP-MS [free]]; the folder holds NNN.raw
// (16 kHz mono s16le) for line NNN (from 1) of SENTENCES.
int LongrunDictation(const QStringList& Args)
{
    if (Args.size() < 3)
        return std::fprintf(stderr, "usage: dictation SENTENCES AUDIO MINUTES [GAP-MS]\n"), 2;
    QFile Text(Args[0]);
    if (!Text.open(QIODevice::ReadOnly))
        return std::fprintf(stderr, "cannot read %s\n", qPrintable(Args[0])), 1;
    QStringList Sentences;
    for (const QByteArray& L : Text.readAll().split('\n'))
        if (!L.trimmed().isEmpty())
            Sentences << QString::fromUtf8(L.trimmed());
    std::vector<TPiece> Pieces;
    for (int I = 0; I < Sentences.size(); ++I) {
        QFile F(QDir(Args[1]).filePath(QStringLiteral("%1.raw").arg(I + 1, 3, 10, QLatin1Char('0'))));
        if (!F.open(QIODevice::ReadOnly))
            return std::fprintf(stderr, "missing audio %s\n", qPrintable(F.fileName())), 1;
        const QByteArray Pcm = F.readAll();
        Pieces.push_back({I, Pcm, SpeechEnd(Pcm)});
    }
    const double Minutes = Args[2].toDouble();
    const int GapMs = Args.size() > 3 ? Args[3].toInt() : 1500;
    // Free dictation with the shipped model: the text is scored, not compared.
    const bool Free = Args.value(4) == QLatin1String("free");

    QFile::remove(SpeechSettingsPath());
    QTemporaryDir Folder;
    TOrvoScrivelUIform W(Folder.path());
    W.show();
    if (!QTest::qWaitForWindowExposed(&W))
        return std::fprintf(stderr, "window not exposed\n"), 1;
    try {
        if (!W.SpeechReco || !W.DictationGrammar)
            throw std::runtime_error("not created");
        W.SpeechReco->Connect();
    } catch (const std::exception& E) {
        return std::fprintf(stderr, "no recogniser: %s\n", E.what()), 1;
    }
    W.SpeechReco->Recognizer()->SetAudioInputId(MicId());
    // Sentences with a word the dictionary lacks cannot be in the grammar.
    std::vector<TPiece> Usable;
    for (const TPiece& P : Free ? std::vector<TPiece>() : Pieces) {
        try {
            W.DictationGrammar->SetPhraseList({Sentences[P.Sentence]});
            Usable.push_back(P);
        } catch (const std::exception& E) {
            std::printf("left out: %s (%s)\n", qPrintable(Sentences[P.Sentence]), E.what());
        }
    }
    if (!Free) {
        Pieces = Usable;
        QStringList Grammar;
        for (const TPiece& P : Pieces)
            Grammar << Sentences[P.Sentence];
        W.DictationGrammar->SetPhraseList(Grammar);
    }

    std::mutex Lock;
    std::vector<TSent> Sent;
    std::vector<THeard> Heard;
    qint64 Cleared = 0;
    // After the window's own handler: the phrase is in the comment field.
    QObject::connect(W.SpeechReco, &TSpSharedRecoContext::OnRecognition, &W,
                     [&](QObject*, int, qint64, int, const TSpRecoResult& R) {
                         const qint64 Now = NowUs();
                         Heard.push_back({Now, R.PhraseInfo().GetText(0, -1, false)});
                         // As a user moving on to the next image would: the
                         // field holds at most 10,000 characters.
                         if (W.CommentText().size() > 8000) {
                             W.Form()->Memo1->setPlainText(QString());
                             ++Cleared;
                         }
                     });
    const qint64 Start = NowUs();
    TRssSeries Rss;
    std::vector<std::pair<double, double>> Cpu; // seconds, CPU seconds
    QTimer Sampler;
    Sampler.setInterval(5000);
    QObject::connect(&Sampler, &QTimer::timeout, [&] {
        const double T = double(NowUs() - Start) / 1e6;
        Rss.Take(T);
        Cpu.push_back({T, CpuSeconds()});
    });
    Sampler.start();
    Rss.Take(0);
    Cpu.push_back({0, CpuSeconds()});

    QTest::mouseClick(W.Form()->ToolButton4, Qt::LeftButton);
    QTest::qWait(300);
    std::atomic<bool> Done{false}, Failed{false};
    std::thread Feeder([&] {
        const int Fd = ::open(qgetenv("VARNELO_MIC_FIFO").constData(), O_WRONLY);
        if (Fd < 0) {
            Failed = Done = true;
            return;
        }
        const QByteArray Silence(32 * GapMs, '\0');
        const qint64 FeedStart = NowUs();
        qint64 Fed = 0; // paced at real time in 20 ms pieces
        auto Write = [&](const QByteArray& A, qsizetype Mark, int Sentence) {
            bool Marked = Mark <= 0;
            for (qsizetype At = 0; At < A.size(); At += 640) {
                const qsizetype N = std::min<qsizetype>(640, A.size() - At);
                const qint64 Due = FeedStart + Fed * 1000000 / 32000;
                const qint64 Now = NowUs();
                if (Due > Now)
                    usleep(useconds_t(Due - Now));
                if (::write(Fd, A.constData() + At, size_t(N)) != N) {
                    Failed = true;
                    return;
                }
                Fed += N;
                if (!Marked && At + N >= Mark) {
                    Marked = true;
                    std::lock_guard G(Lock);
                    Sent.push_back({Sentence, NowUs()});
                }
            }
        };
        Write(Silence, 0, -1);
        for (size_t I = 0; !Failed && double(NowUs() - FeedStart) < Minutes * 60e6; I = (I + 1) % Pieces.size()) {
            Write(Pieces[I].Pcm, Pieces[I].SpeechEnd, Pieces[I].Sentence);
            Write(Silence, 0, -1);
        }
        Write(Silence, 0, -1);
        ::close(Fd);
        Done = true;
    });
    while (!Done)
        QTest::qWait(200);
    Feeder.join();
    // The last phrases may still be in the decoder.
    if (!QTest::qWaitFor([&] { return Heard.size() >= Sent.size(); }, 60000))
        std::fprintf(stderr, "phrases still missing a minute after the last one was spoken\n");
    W.SpeechReco->WaitUntilIdle(10000);
    const double Seconds = double(NowUs() - Start) / 1e6;
    Rss.Take(Seconds);
    Cpu.push_back({Seconds, CpuSeconds()});
    QTest::mouseClick(W.Form()->ToolButton3, Qt::LeftButton);
    if (Failed)
        std::fprintf(stderr, "writing to the microphone failed\n");

    // Heard phrases pair with spoken ones in order.
    int Wrong = 0;
    const size_t Pairs = std::min(Sent.size(), Heard.size());
    std::printf("dictation for %.1f min through the sound server: %zu phrases spoken, %zu heard, %d wrong text, "
                "%lld times the field was emptied; phrases out %s phrases in%s\n",
                Seconds / 60, Sent.size(), Heard.size(), [&] {
                    for (size_t I = 0; I < Pairs; ++I)
                        if (Heard[I].Words != Sentences[Sent[I].Sentence])
                            ++Wrong;
                    return Wrong;
                }(),
                static_cast<long long>(Cleared),
                Sent.size() == Heard.size() && (Wrong == 0 || Free) ? "equal" : "DIFFER FROM",
                Free ? " (free dictation: count only)" : " (phrase grammar)");
    // Latency by the five-minute window of the phrase's end of speech.
    std::vector<std::vector<double>> Windows;
    std::vector<std::pair<int, int>> Errors; // per window: words wrong, words said
    for (size_t I = 0; I < Pairs; ++I) {
        // The few phrases after the last whole window belong to it: a window
        // of one phrase says nothing about drift.
        const size_t Whole = std::max<size_t>(1, size_t(Minutes / 5));
        const size_t Win = std::min(Whole - 1, size_t(double(Sent[I].EndUs - Start) / 300e6));
        if (Windows.size() <= Win) {
            Windows.resize(Win + 1);
            Errors.resize(Win + 1);
        }
        Windows[Win].push_back(double(Heard[I].AtUs - Sent[I].EndUs) / 1000);
        const QString& Said = Sentences[Sent[I].Sentence];
        Errors[Win].first += WordErrors(Said, Heard[I].Words);
        Errors[Win].second += int(Said.count(u' ') + 1);
    }
    auto CpuShare = [&](double From, double To) {
        // CPU seconds per second of wall time between the samples nearest From and To.
        std::pair<double, double> A = Cpu.front(), B = Cpu.back();
        for (const auto& C : Cpu) {
            if (C.first <= From)
                A = C;
            if (C.first <= To)
                B = C;
        }
        return B.first > A.first ? (B.second - A.second) / (B.first - A.first) : 0.0;
    };
    for (size_t Win = 0; Win < Windows.size(); ++Win)
        std::printf("  minutes %2zu-%2s: %3zu phrases, latency median %6.0f ms, p95 %6.0f ms, max %6.0f ms; "
                    "words wrong %.1f %%; process CPU %.2f cores\n",
                    Win * 5, Win + 1 == Windows.size() ? "end" : std::to_string(Win * 5 + 5).c_str(), Windows[Win].size(),
                    Percentile(Windows[Win], 0.5),
                    Percentile(Windows[Win], 0.95), Percentile(Windows[Win], 1.0),
                    100.0 * Errors[Win].first / std::max(1, Errors[Win].second), CpuShare(double(Win) * 300, double(Win + 1) * 300));
    if (Windows.size() >= 2) {
        const auto& F = Windows.front();
        const auto& L = Windows.back();
        std::printf("  latency first window median %.0f / p95 %.0f ms, last window median %.0f / p95 %.0f ms: %s\n",
                    Percentile(F, 0.5), Percentile(F, 0.95), Percentile(L, 0.5), Percentile(L, 0.95),
                    Percentile(L, 0.5) <= Percentile(F, 0.5) * 1.25 + 50 ? "no drift" : "DRIFTS");
    }
    Rss.Print("  memory", 60, 5 * 1024);
    std::printf("  load average at the end %.2f\n", Load1());
    return Failed || Sent.size() != Heard.size() || (Wrong && !Free) ? 1 : 0;
}

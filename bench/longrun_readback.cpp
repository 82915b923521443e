// Read-back of a very long comment through the main window: the comment
// field's text read by one voice into the private sound server's null sink.
// Every word must be highlighted, in order, each where the text has it;
// resident memory and the highlight's lateness against the sink's clock are
// sampled through the run.
#include "longrun_common.h"

#include "Unit1.h"
#include "ui_Unit1.h"

#include "appcontrols.h"

#include "spvoice.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace longrun;

namespace {

struct TWord {
    qsizetype Start, Length;
};

// Runs of letters, digits and apostrophes: the words a reader says.
std::vector<TWord> WordsOf(const QString& Text)
{
    std::vector<TWord> Out;
    qsizetype I = 0;
    const qsizetype N = Text.size();
    while (I < N) {
        while (I < N && !Text[I].isLetterOrNumber())
            ++I;
        const qsizetype S = I;
        while (I < N && (Text[I].isLetterOrNumber() || Text[I] == u'\''))
            ++I;
        if (I > S)
            Out.push_back({S, I - S});
    }
    return Out;
}

// Sentences in turn, capitalised and closed with a full stop, a line break
// after every fifth, until Words words.
QString Comment(const QStringList& Sentences, int Words)
{
    QString Out;
    int Count = 0;
    for (int I = 0; Count < Words; ++I) {
        QStringList W = Sentences[I % Sentences.size()].split(u' ', Qt::SkipEmptyParts);
        if (Count + W.size() > Words)
            W = W.mid(0, Words - Count);
        Count += int(W.size());
        QString S = W.join(u' ');
        S[0] = S[0].toUpper();
        Out += S + u'.';
        Out += (I % 5 == 4) ? QStringLiteral("\n") : QStringLiteral(" ");
    }
    return Out.trimmed();
}

struct TCoverage {
    size_t Covered = 0, Reached = 0;
    int OutOfOrder = 0;
    std::vector<qsizetype> Missed;
    bool Whole() const { return Covered == Reached && !OutOfOrder && Reached > 0; }
};

// Every word up to the last one marked, in order: walk words and marks
// together; a mark covers the word starting inside it.
TCoverage Cover(const std::vector<TWord>& Expected, const std::vector<std::pair<int, int>>& Marks)
{
    TCoverage C;
    for (size_t I = 1; I < Marks.size(); ++I)
        if (Marks[I].first <= Marks[I - 1].first)
            ++C.OutOfOrder;
    const qsizetype Last = Marks.empty() ? -1 : Marks.back().first;
    size_t M = 0;
    for (const TWord& Word : Expected) {
        if (Word.Start > Last)
            break;
        ++C.Reached;
        while (M < Marks.size() && Marks[M].first + Marks[M].second <= Word.Start)
            ++M;
        if (M < Marks.size() && Marks[M].first <= Word.Start)
            ++C.Covered;
        else
            C.Missed.push_back(Word.Start);
    }
    return C;
}

QStringList ReadSentences(const QString& Path)
{
    QFile Text(Path);
    QStringList Sentences;
    if (Text.open(QIODevice::ReadOnly))
        for (const QByteArray& L : Text.readAll().split('\n'))
            if (!L.trimmed().isEmpty())
                Sentences << QString::fromUtf8(L.trimmed());
    return Sentences;
}

bool ChooseVoice(TSpVoice& V, const QString& Id)
{
    const TSpObjectTokens Voices = V.GetVoices();
    for (int I = 0; I < Voices.Count(); ++I)
        if (Voices.Item(I).Id() == Id) {
            V.SetVoice(Voices.Item(I));
            return true;
        }
    return false;
}

} // namespace

// Args: SENTENCES WORDS VOICE-ID.  The word marks of the whole comment as the
// engine makes them for read-back, without a sink (so at synthesis speed):
// that they reach the last word, in order.
int LongrunMarks(const QStringList& Args)
{
    if (Args.size() < 3)
        return std::fprintf(stderr, "usage: marks SENTENCES WORDS VOICE\n"), 2;
    const QStringList Sentences = ReadSentences(Args[0]);
    if (Sentences.isEmpty())
        return std::fprintf(stderr, "cannot read %s\n", qPrintable(Args[0])), 1;
    const int WordCount = Args[1].toInt();
    TSpVoice V;
    if (!ChooseVoice(V, Args[2]))
        return std::fprintf(stderr, "no voice %s\n", qPrintable(Args[2])), 1;
    // The comment as the window hands it to Speak: CR LF line breaks.
    const QString Text = Comment(Sentences, WordCount).replace(u'\n', QStringLiteral("\r\n"));
    const std::vector<TWord> Expected = WordsOf(Text);
    std::vector<TWordMark> Marks;
    const double Cpu0 = CpuSeconds();
    const qint64 Start = NowUs();
    const std::vector<short> Samples = V.SynthesizeToSamples(Text, &Marks);
    const double Seconds = double(NowUs() - Start) / 1e6;
    std::vector<std::pair<int, int>> Pairs;
    for (const TWordMark& M : Marks)
        Pairs.push_back({M.position, M.length});
    const TCoverage C = Cover(Expected, Pairs);
    std::printf("word marks of the whole %d-word comment with %s (%.0f min of speech, synthesised in %.0f s, %.0f s "
                "CPU): %zu marks, words marked %zu of %zu, the last at character %d of %lld, %zu missed, %d out of "
                "order: %s\n",
                WordCount, qPrintable(Args[2]), double(Samples.size()) / V.SampleRate() / 60, Seconds,
                CpuSeconds() - Cpu0, Marks.size(), C.Covered, Expected.size(), Marks.empty() ? -1 : Marks.back().position,
                static_cast<long long>(Text.size()), C.Missed.size(), C.OutOfOrder,
                C.Whole() && C.Reached == Expected.size() ? "every word in order to the last" : "FAULTS");
    for (size_t I = 0; I < std::min<size_t>(C.Missed.size(), 5); ++I)
        std::printf("  missed at %lld: \"%s\"\n", static_cast<long long>(C.Missed[I]),
                    qPrintable(Text.mid(C.Missed[I], 20)));
    return C.Whole() && C.Reached == Expected.size() ? 0 : 1;
}

// Args: SENTENCES WORDS VOICE-ID MINUTES.  Reading stops after MINUTES when
// the text is longer than that at speaking pace.
int LongrunReadback(const QStringList& Args)
{
    if (Args.size() < 4)
        return std::fprintf(stderr, "usage: readback SENTENCES WORDS VOICE MINUTES\n"), 2;
    const QStringList Sentences = ReadSentences(Args[0]);
    if (Sentences.isEmpty())
        return std::fprintf(stderr, "cannot read %s\n", qPrintable(Args[0])), 1;
    const int WordCount = Args[1].toInt();
    const QString VoiceId = Args[2];
    const double Minutes = Args[3].toDouble();

    QTemporaryDir Folder;
    TOrvoScrivelUIform W(Folder.path());
    W.show();
    if (!QTest::qWaitForWindowExposed(&W))
        return std::fprintf(stderr, "window not exposed\n"), 1;
    if (!W.SpeechVoice)
        return std::fprintf(stderr, "no synthesiser\n"), 1;
    const bool Found = ChooseVoice(*W.SpeechVoice, VoiceId);
    if (!Found)
        return std::fprintf(stderr, "no voice %s\n", qPrintable(VoiceId)), 1;

    // Set as a loaded comment is: the typing limit does not apply.
    W.Form()->Memo1->setPlainText(Comment(Sentences, WordCount));
    const QString Shown = W.CommentText(); // the text Read speaks, CR LF breaks
    const std::vector<TWord> Expected = WordsOf(Shown);

    struct TEvent {
        int At, Length;
        double Seconds, LateMs;
        bool SelectionRight;
    };
    std::vector<TEvent> Events;
    qint64 Start = 0;
    bool Ended = false;
    // After the window's own handler: the word is selected by now.
    QObject::connect(W.SpeechVoice, &TSpVoice::OnWord, &W, [&](QObject*, int, qint64 Pos, int At, int Len) {
        const double WordUs = double(Pos) * 1e6 / (22050.0 * 2);
        Events.push_back({At, Len, double(NowUs() - Start) / 1e6,
                          (double(W.SpeechVoice->SinkProcessedUSecs()) - WordUs) / 1000,
                          W.Form()->Memo1->StoredSelStart() == At && W.Form()->Memo1->StoredSelLength() == Len});
    });
    QObject::connect(W.SpeechVoice, &TSpVoice::OnEndStream, &W, [&] { Ended = true; });
    TRssSeries Rss;
    QTimer Sampler;
    Sampler.setInterval(5000);
    QObject::connect(&Sampler, &QTimer::timeout, [&] { Rss.Take(double(NowUs() - Start) / 1e6); });
    Start = NowUs();
    Rss.Take(0);
    Sampler.start();
    QTest::mouseClick(W.Form()->ToolButton1, Qt::LeftButton);
    while (!Ended && double(NowUs() - Start) < Minutes * 60e6)
        QTest::qWait(100);
    const double Seconds = double(NowUs() - Start) / 1e6;
    Rss.Take(Seconds);
    if (!Ended)
        QTest::mouseClick(W.Form()->ToolButton3, Qt::LeftButton);

    std::vector<std::pair<int, int>> Pairs;
    int WrongSelections = 0;
    for (const auto& E : Events) {
        Pairs.push_back({E.At, E.Length});
        WrongSelections += E.SelectionRight ? 0 : 1;
    }
    const TCoverage C = Cover(Expected, Pairs);
    const size_t Covered = C.Covered, Reached = C.Reached;
    const int OutOfOrder = C.OutOfOrder;
    const std::vector<qsizetype>& Missed = C.Missed;
    std::printf("read-back with %s of a %d-word comment (%lld characters) for %.1f min%s: %zu word events, "
                "words highlighted %zu of the %zu read (of %zu), %zu missed, %d out of order, %d selections "
                "wrong: %s\n",
                qPrintable(VoiceId), WordCount, static_cast<long long>(Shown.size()), Seconds / 60,
                Ended ? " (to the end)" : " (stopped)", Events.size(), Covered, Reached, Expected.size(),
                Missed.size(), OutOfOrder, WrongSelections,
                Covered == Reached && !OutOfOrder && !WrongSelections && Reached > 0 ? "every word in order"
                                                                                   : "FAULTS");
    if (!Ended && Seconds > 0 && Reached > 0)
        std::printf("  %.0f words a minute: the whole comment takes about %.0f min\n", double(Reached) / Seconds * 60,
                    double(Expected.size()) / (double(Reached) / Seconds) / 60);
    for (size_t I = 0; I < std::min<size_t>(Missed.size(), 5); ++I)
        std::printf("  missed at %lld: \"%s\"\n", static_cast<long long>(Missed[I]),
                    qPrintable(Shown.mid(Missed[I], 20)));
    std::vector<std::vector<double>> Late;
    for (const auto& E : Events) {
        const size_t Win = size_t(E.Seconds / 300);
        if (Late.size() <= Win)
            Late.resize(Win + 1);
        Late[Win].push_back(E.LateMs);
    }
    for (size_t Win = 0; Win < Late.size(); ++Win)
        std::printf("  minutes %2zu-%2zu: %5zu words, highlight after the sink reached the word: median %.1f ms, "
                    "p95 %.1f ms\n",
                    Win * 5, Win * 5 + 5, Late[Win].size(), Percentile(Late[Win], 0.5), Percentile(Late[Win], 0.95));
    Rss.Print("  memory", 60, 5 * 1024);
    std::printf("  load average at the end %.2f\n", Load1());
    return Covered == Reached && !OutOfOrder && !WrongSelections && Reached > 0 ? 0 : 1;
}

// The synthesiser end to end against a private PulseAudio server (see
// with-pulse.sh): voices, word events in order, pause and resume, purge.
#include "spvoice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct TWordEvent {
  int stream, position, length;
  qint64 sinkUSecs;
};

struct TRecorder {
  explicit TRecorder(TSpVoice& v) {
    QObject::connect(&v, &TSpVoice::OnWord, [this, &v](QObject* sender, int s, qint64, int p, int l) {
      EXPECT_EQ(sender, &v);
      words.push_back({s, p, l, v.SinkProcessedUSecs()});
    });
    QObject::connect(&v, &TSpVoice::OnEndStream, [this](QObject*, int s, qint64) { ends.push_back(s); });
  }
  std::vector<TWordEvent> words;
  std::vector<int> ends;
};

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool WaitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    Wait(10);
  }
  return true;
}

// The words of a text as a reader sees them.
QStringList WordsOf(const QString& text) {
  QStringList r;
  for (const auto& w : text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts)) {
    QString s = w;
    s.remove(QRegularExpression("[,.;:!?]+$"));
    r << s;
  }
  return r;
}

}  // namespace

TEST(Voice, ListsInstalledVoicesInAStableOrderWithTheCurrentOneAmongThem) {
  TSpVoice v;
  const TSpObjectTokens a = v.GetVoices();
  ASSERT_GT(a.Count(), 10);
  const TSpObjectTokens b = v.GetVoices();
  ASSERT_EQ(a.Count(), b.Count());
  bool found = false;
  const TSpObjectToken current = v.Voice();
  for (int i = 0; i < a.Count(); ++i) {
    EXPECT_EQ(a.Item(i).Id(), b.Item(i).Id());
    EXPECT_FALSE(a.Item(i).GetDescription().contains('_'));
    if (i > 0) {
      EXPECT_LE(a.Item(i - 1).GetDescription().compare(a.Item(i).GetDescription(), Qt::CaseInsensitive), 0);
    }
    if (a.Item(i).GetDescription() == current.GetDescription()) found = true;
  }
  EXPECT_TRUE(found);
  EXPECT_TRUE(current.Language().startsWith("en"));
  EXPECT_THROW(a.Item(a.Count()), ESpeechError);
  // Choosing another voice sticks; a voice that is not installed is refused.
  v.SetVoice(a.Item(0));
  EXPECT_EQ(v.Voice(), a.Item(0));
  EXPECT_THROW(v.SetVoice(TSpObjectToken("no/such", "No such")), ESpeechError);
}

TEST(Voice, SpeaksEveryWordOfATwoLineTextInOrderAtItsUtf16Position) {
  TSpVoice v;
  TRecorder rec(v);
  // Accented letters, a line break, typographic quotes and a dash.
  const QString text = QString::fromUtf8(
      "Pr\xC3\xA9" "cis r\xC3\xA9sum\xC3\xA9 of the \xE2\x80\x9C" "caf\xC3\xA9\xE2\x80\x9D visit,\n"
      "the na\xC3\xAFve patient \xE2\x80\x94 stable.");
  const int stream = v.Speak(text, SVSFlagsAsync);
  EXPECT_GT(stream, 0);
  ASSERT_TRUE(WaitFor([&] { return !rec.ends.empty(); }, 30000));
  ASSERT_EQ(rec.ends, std::vector<int>{stream});
  EXPECT_FALSE(v.IsSpeaking());

  QStringList heard;
  int last = -1;
  qint64 lastSink = -1;
  for (const auto& w : rec.words) {
    EXPECT_EQ(w.stream, stream);
    EXPECT_GT(w.position, last);
    EXPECT_GE(w.sinkUSecs, lastSink);  // fired by the sink's clock
    last = w.position;
    lastSink = w.sinkUSecs;
    QString s = text.mid(w.position, w.length);
    s.remove(QRegularExpression("[,.;:!?\\x{201C}\\x{201D}]+"));
    heard << s;
  }
  EXPECT_EQ(heard, WordsOf(QString(text).remove(QChar(0x201C)).remove(QChar(0x201D)).remove(QChar(0x2014))));
  // The last word is heard well after the first: events follow the audio.
  ASSERT_GE(rec.words.size(), 2u);
  EXPECT_GT(rec.words.back().sinkUSecs - rec.words.front().sinkUSecs, 1000000);
}

TEST(Voice, PauseHaltsOutputAndResumeContinuesWithoutANewStream) {
  TSpVoice v;
  TRecorder rec(v);
  const QString text = QStringLiteral("one two three four five six seven eight nine ten eleven twelve");
  const int stream = v.Speak(text, SVSFlagsAsync);
  ASSERT_TRUE(WaitFor([&] { return rec.words.size() >= 2; }, 20000));
  v.Pause();
  Wait(100);
  const size_t atPause = rec.words.size();
  const qint64 sinkAtPause = v.SinkProcessedUSecs();
  Wait(800);
  EXPECT_EQ(rec.words.size(), atPause);
  EXPECT_LT(v.SinkProcessedUSecs() - sinkAtPause, 50000);
  EXPECT_TRUE(v.IsSpeaking());
  v.Resume();
  ASSERT_TRUE(WaitFor([&] { return !rec.ends.empty(); }, 20000));
  EXPECT_EQ(rec.ends, std::vector<int>{stream});
  EXPECT_EQ(int(rec.words.size()), 12);
  for (const auto& w : rec.words) EXPECT_EQ(w.stream, stream);
}

TEST(Voice, PurgeDropsSpeechAndItsEventsAndTheNextSpeakStartsAfresh) {
  TSpVoice v;
  TRecorder rec(v);
  v.Speak(QStringLiteral("alpha bravo charlie delta echo foxtrot golf hotel india juliet"), SVSFlagsAsync);
  v.Speak(QStringLiteral("a second queued stream"), SVSFlagsAsync);
  ASSERT_TRUE(WaitFor([&] { return !rec.words.empty(); }, 20000));
  EXPECT_EQ(v.Speak(QString(), SVSFPurgeBeforeSpeak), 0);
  EXPECT_FALSE(v.IsSpeaking());
  const size_t atPurge = rec.words.size();
  Wait(1000);
  EXPECT_EQ(rec.words.size(), atPurge);
  EXPECT_TRUE(rec.ends.empty());
  // Purge while paused, then speak again from the start.
  const int s2 = v.Speak(QStringLiteral("fresh start"), SVSFlagsAsync);
  ASSERT_TRUE(WaitFor([&] { return !rec.ends.empty(); }, 20000));
  EXPECT_EQ(rec.ends, std::vector<int>{s2});
  ASSERT_GE(rec.words.size(), atPurge + 2);
  EXPECT_EQ(rec.words[atPurge].position, 0);
  EXPECT_EQ(rec.words[atPurge].stream, s2);
}

TEST(Voice, SynchronousSpeakReturnsWhenPlayedOut) {
  TSpVoice v;
  TRecorder rec(v);
  const int s = v.Speak(QStringLiteral("short"));
  EXPECT_EQ(rec.ends, std::vector<int>{s});
  EXPECT_EQ(rec.words.size(), 1u);
}

// Run on its own (see speech.cmake): it stops the sound server under the voice.
TEST(VoiceServerLost, SpeechEndsWithAnErrorWhenTheServerGoesAway) {
  TSpVoice v;
  TRecorder rec(v);
  QString error;
  QObject::connect(&v, &TSpVoice::OnAudioError, [&](QObject*, const QString& m) { error = m; });
  const int s = v.Speak(QStringLiteral("one two three four five six seven eight nine ten"), SVSFlagsAsync);
  ASSERT_TRUE(WaitFor([&] { return !rec.words.empty(); }, 20000));
  // The server's folder is the one its socket lives in (with-pulse.sh).
  QString dir = QString::fromLocal8Bit(qgetenv("PULSE_SERVER")).mid(5);
  dir.chop(QStringLiteral("/runtime/native").size());
  ASSERT_EQ(QProcess::execute(VARNELO_SPEECH_TEST_DIR "/../../scripts/pulse-test-server.sh", {"stop", dir}), 0);
  ASSERT_TRUE(WaitFor([&] { return !rec.ends.empty(); }, 10000));
  EXPECT_EQ(rec.ends, std::vector<int>{s});
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(v.IsSpeaking());
  EXPECT_THROW(v.Speak(QStringLiteral("again"), SVSFlagsAsync), ESpeechError);
}

// The synthesiser end to end against a private PulseAudio server (see
// with-pulse.sh): voices, word events in order, pause and resume, purge.
#include "fliteengine.h"
#include "spvoice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
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
    FWord = QObject::connect(&v, &TSpVoice::OnWord, [this, &v](QObject* sender, int s, qint64, int p, int l) {
      EXPECT_EQ(sender, &v);
      words.push_back({s, p, l, v.SinkProcessedUSecs()});
    });
    FEnd = QObject::connect(&v, &TSpVoice::OnEndStream, [this](QObject*, int s, qint64) { ends.push_back(s); });
  }
  ~TRecorder() {
    QObject::disconnect(FWord);
    QObject::disconnect(FEnd);
  }
  std::vector<TWordEvent> words;
  std::vector<int> ends;
  QMetaObject::Connection FWord, FEnd;
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

// One voice of each engine: the default (flite's most natural) and espeak-ng's
// British English.
QList<TSpObjectToken> OneVoicePerEngine(TSpVoice& v) {
  QList<TSpObjectToken> r{v.Voice()};
  // The list lives in the tokens object: keep it for the loop.
  const TSpObjectTokens all = v.GetVoices();
  for (const auto& t : all.Items())
    if (!TFliteEngine::IsFliteVoice(t.Id()) && t.Language() == "en-gb") r << t;
  EXPECT_EQ(r.size(), 2);
  return r;
}

}  // namespace

TEST(Voice, ListsInstalledVoicesInAStableOrderWithTheCurrentOneAmongThem) {
  TSpVoice v;
  const TSpObjectTokens a = v.GetVoices();
  // Natural voices, then espeak-ng's English ones and the locale's, not all
  // hundred languages.
  ASSERT_GE(a.Count(), 5);
  ASSERT_LE(a.Count(), 30);
  const TSpObjectTokens b = v.GetVoices();
  ASSERT_EQ(a.Count(), b.Count());
  const QString locale = QLocale::system().name().section('_', 0, 0);
  bool found = false, natural = true;
  const TSpObjectToken current = v.Voice();
  QStringList descriptions;
  for (int i = 0; i < a.Count(); ++i) {
    const TSpObjectToken t = a.Item(i);
    EXPECT_EQ(t.Id(), b.Item(i).Id());
    EXPECT_FALSE(t.GetDescription().contains('_'));
    EXPECT_FALSE(descriptions.contains(t.GetDescription())) << qPrintable(t.GetDescription());
    descriptions << t.GetDescription();
    // The flite voices come first, and no flite voice after an espeak-ng one.
    if (!TFliteEngine::IsFliteVoice(t.Id())) natural = false;
    else EXPECT_TRUE(natural) << qPrintable(t.Id());
    const QString language = t.Language().section('-', 0, 0);
    EXPECT_TRUE(language == "en" || language == locale) << qPrintable(t.Id());
    if (t.GetDescription() == current.GetDescription()) found = true;
  }
  EXPECT_TRUE(found);
  // No settings: the most natural English voice speaks.
  EXPECT_EQ(current, a.Item(0));
  EXPECT_TRUE(TFliteEngine::IsFliteVoice(current.Id()));
  EXPECT_TRUE(current.Language().startsWith("en"));
  EXPECT_THROW(a.Item(a.Count()), ESpeechError);
  // Choosing another voice sticks; a voice that is not installed is refused.
  v.SetVoice(a.Item(0));
  EXPECT_EQ(v.Voice(), a.Item(0));
  EXPECT_THROW(v.SetVoice(TSpObjectToken("no/such", "No such")), ESpeechError);
}

TEST(Voice, SpeaksEveryWordOfATwoLineTextInOrderAtItsUtf16Position) {
  TSpVoice v;
  for (const TSpObjectToken& voice : OneVoicePerEngine(v)) {
    SCOPED_TRACE(voice.Id().toStdString());
    v.SetVoice(voice);
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
}

// Word marks of both engines against the text, for text that is awkward to
// speak: each mark inside the text, after the one before, on whole code
// points, on a word; the words a reader sees are all there.
TEST(Voice, WordMarksStayOnTheWordsOfAwkwardText) {
  QString longText;
  while (longText.size() < 10000)
    longText += QString::fromUtf8("The na\xC3\xAFve nodule measures 12 mm,\r\nunchanged since 2019. ");
  struct Case {
    const char* name;
    QString text;
    bool exact;           // every word a reader sees gets its mark
    QStringList mustHave;  // else these, in order
  };
  const Case cases[] = {
      {"CR LF", QStringLiteral("First line\r\nsecond line\r\n\r\nthird"), true, {}},
      {"accents", QString::fromUtf8("Pr\xC3\xA9" "cis na\xC3\xAFve caf\xC3\xA9 \xC3\x85ngstr\xC3\xB6m"), true, {}},
      {"emoji", QString::fromUtf8("ok \xF0\x9F\x98\x80 fine \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD done"), false, {"ok", "fine", "done"}},
      {"CJK", QString::fromUtf8("\xE8\x82\xBA\xE9\x83\xA8 \xE7\xBB\x93\xE8\x8A\x82 lung nodule"), false, {"lung", "nodule"}},
      {"CJK only", QString::fromUtf8("\xE8\x82\xBA\xE9\x83\xA8\xE7\xBB\x93\xE8\x8A\x82"), false, {}},
      {"numbers", QStringLiteral("3.5 cm at 12:30 on 4 May, 1000 mg"), false, {"3.5", "cm", "at", "on", "4", "May", "1000", "mg"}},
      {"punctuation runs", QStringLiteral("wait!!!!!!!!!!!!!!!!!!!! ... ??? ---- $$$$%%%%^^^^ ok"), false, {"wait", "ok"}},
      {"odd characters", QString("a") + QChar(0xD800) + "b " + QChar(0) + " c\td", false, {"c"}},
      {"empty", QString(), true, {}},
      {"10,000 characters", longText, true, {}},
  };
  TSpVoice v;
  // flite's diphone voice: the text path of every flite voice, at a tenth of
  // the cost of the default one on the long text.
  QList<TSpObjectToken> voices = OneVoicePerEngine(v);
  const TSpObjectTokens all = v.GetVoices();
  for (const auto& t : all.Items())
    if (t.Id() == "cmu_us_kal16") voices[0] = t;
  ASSERT_EQ(voices[0].Id(), "cmu_us_kal16");
  for (const TSpObjectToken& voice : voices) {
    v.SetVoice(voice);
    for (const auto& c : cases) {
      SCOPED_TRACE(voice.Id().toStdString() + ": " + c.name);
      std::vector<TWordMark> marks;
      QElapsedTimer clock;
      clock.start();
      const std::vector<short> samples = v.SynthesizeToSamples(c.text, &marks);
      EXPECT_LT(clock.elapsed(), 60000);
      int lastEnd = 0;
      qint64 lastSample = 0;
      QStringList heard;
      for (const TWordMark& m : marks) {
        ASSERT_GE(m.position, lastEnd);
        ASSERT_GT(m.length, 0);
        ASSERT_LE(m.position + m.length, c.text.size());
        EXPECT_FALSE(c.text[m.position].isLowSurrogate());
        EXPECT_FALSE(c.text[m.position + m.length - 1].isHighSurrogate());
        EXPECT_FALSE(c.text[m.position].isSpace());
        EXPECT_GE(m.sample, lastSample);
        EXPECT_LE(m.sample, qint64(samples.size()));
        lastEnd = m.position + m.length;
        lastSample = m.sample;
        QString w = c.text.mid(m.position, m.length);
        w.remove(QRegularExpression("[,.;:!?]+$"));
        heard << w;
      }
      if (c.exact) {
        EXPECT_EQ(heard, WordsOf(c.text));
      } else {
        int at = 0;
        for (const QString& w : c.mustHave) {
          const int found = int(heard.indexOf(w, at));
          EXPECT_GE(found, 0) << qPrintable(w) << " in " << qPrintable(heard.join('|'));
          if (found >= 0) at = found + 1;
        }
      }
      // Speech for anything a voice can say; next to none for the rest.
      if (!c.mustHave.isEmpty() || (c.exact && !c.text.isEmpty())) EXPECT_GT(samples.size(), 2000u);
      else EXPECT_LT(samples.size(), size_t(v.SampleRate()) * 10);
    }
  }
}

// A typed measurement is read as a radiologist says it, in both engines,
// and each mark selects the written characters being said: "3.2" while
// "three point two" is spoken, "cm" while "centimeters" is.
TEST(Voice, WrittenMeasurementsAreReadInTheirSpokenFormAndMarkTheirWrittenCharacters) {
  const QString written = QStringLiteral("A 3.2 x 2.1 cm nodule at C5-C6, 50 mg at 10:30.\r\nSee series 4 image 56.");
  const QString spoken = QStringLiteral(
      "A three point two by two point one centimeter nodule at C five C six, fifty milligrams at ten thirty.\r\n"
      "See series four image fifty six.");
  TSpVoice v;
  for (const TSpObjectToken& voice : OneVoicePerEngine(v)) {
    SCOPED_TRACE(voice.Id().toStdString());
    v.SetVoice(voice);
    std::vector<TWordMark> marks;
    const std::vector<short> samples = v.SynthesizeToSamples(written, &marks);
    // The engine said the spoken form: as long as the words themselves
    // (synthesis varies by a sample here and there from run to run).
    const double said = double(v.SynthesizeToSamples(spoken).size());
    EXPECT_NEAR(double(samples.size()) / said, 1.0, 0.03);
    QStringList selected;
    int lastEnd = 0;
    for (const TWordMark& m : marks) {
      ASSERT_GE(m.position, lastEnd);
      ASSERT_LE(m.position + m.length, written.size());
      lastEnd = m.position + m.length;
      QString w = written.mid(m.position, m.length);
      w.remove(QRegularExpression("[,.;:!?]+$"));
      selected << w;
    }
    EXPECT_EQ(selected, WordsOf(written));
  }
}

TEST(Voice, PauseHaltsOutputAndResumeContinuesWithoutANewStream) {
  TSpVoice v;
  for (const TSpObjectToken& voice : OneVoicePerEngine(v)) {
    SCOPED_TRACE(voice.Id().toStdString());
    v.SetVoice(voice);
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
}

TEST(Voice, PurgeDropsSpeechAndItsEventsAndTheNextSpeakStartsAfresh) {
  TSpVoice v;
  for (const TSpObjectToken& voice : OneVoicePerEngine(v)) {
    SCOPED_TRACE(voice.Id().toStdString());
    v.SetVoice(voice);
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
}

// A text of minutes: synthesis waits a little ahead of what is heard, and
// neither a pause nor a purge leaves it stuck there.
TEST(Voice, ALongTextHeldAheadOfTheSinkIsPurgedAtOnceAndTheNextIsHeard) {
  TSpVoice v;
  QString text;
  for (int i = 0; i < 30; ++i) text += QStringLiteral("Alpha bravo charlie delta echo foxtrot golf hotel india juliet. ");
  for (const TSpObjectToken& voice : OneVoicePerEngine(v)) {
    SCOPED_TRACE(voice.Id().toStdString());
    v.SetVoice(voice);
    TRecorder rec(v);
    v.Speak(text, SVSFlagsAsync);
    ASSERT_TRUE(WaitFor([&] { return rec.words.size() >= 3; }, 20000));
    // Paused, the sink takes nothing: the engine is soon held.
    v.Pause();
    Wait(1500);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(v.Speak(QString(), SVSFPurgeBeforeSpeak), 0);
    EXPECT_LT(t.elapsed(), 3000);
    const size_t atPurge = rec.words.size();
    const int next = v.Speak(QStringLiteral("fresh start"), SVSFlagsAsync);
    ASSERT_TRUE(WaitFor([&] { return !rec.ends.empty(); }, 20000));
    EXPECT_EQ(rec.ends, std::vector<int>{next});
    ASSERT_EQ(rec.words.size(), atPurge + 2);
    EXPECT_EQ(rec.words[atPurge].stream, next);
    // Every word before the pause was one of the long text's, in order.
    for (size_t i = 0; i < atPurge; ++i) {
      EXPECT_EQ(rec.words[i].length, WordsOf(text)[int(i)].size()) << i;
      if (i > 0) EXPECT_GT(rec.words[i].position, rec.words[i - 1].position);
    }
  }
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

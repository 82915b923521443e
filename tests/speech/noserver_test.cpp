// The speech service without a sound server, and without synthesiser data:
// the failures the main window relies on.
#include "sprecocontext.h"
#include "spsettings.h"
#include "spvoice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(NoServer, VoicesAreListedButSpeakFailsAtOnceWithAnOpenError) {
  QFile::remove(SpeechSettingsPath());
  TSpVoice v;
  EXPECT_GT(v.GetVoices().Count(), 0);
  try {
    v.Speak(QStringLiteral("hello"), SVSFlagsAsync);
    FAIL() << "Speak succeeded without a sound server";
  } catch (const ESpeechError& e) {
    EXPECT_FALSE(e.Message().isEmpty());
  }
  EXPECT_FALSE(v.IsSpeaking());
  // The purge itself still works: nothing is playing.
  EXPECT_NO_THROW(v.Speak(QString(), SVSFPurgeBeforeSpeak));
}

TEST(NoServer, TheRecogniserCannotBeReached) {
  TSpSharedRecoContext r;
  EXPECT_THROW(r.SetEventInterests(SREAllEvents), ESpeechError);
  EXPECT_THROW(r.CreateGrammar(0), ESpeechError);
  EXPECT_THROW(r.Recognizer(), ESpeechError);
}

TEST(MissingData, WithoutSynthesiserDataTheFirstRequestFailsAndSoDoesThePurge) {
  QTemporaryDir empty;
  {
    auto s = OpenSpeechSettings();
    s->setValue(kVoiceDataPath, empty.path());
  }
  TSpVoice v;
  EXPECT_THROW(v.GetVoices(), ESpeechError);
  EXPECT_THROW(v.Speak(QString(), SVSFPurgeBeforeSpeak), ESpeechError);
  EXPECT_FALSE(v.Connected());
  QFile::remove(SpeechSettingsPath());
}

TEST(MissingData, WithoutTheRecognitionModelTheContextFails) {
  {
    auto s = OpenSpeechSettings();
    s->setValue(kModelFolder, QStringLiteral("/nonexistent/model"));
  }
  TSpSharedRecoContext r;
  EXPECT_THROW(r.Recognizer(), ESpeechError);
  QFile::remove(SpeechSettingsPath());
}

// Types shared by the speech service's synthesiser and recogniser.
//
// The service mirrors the automation objects of a desktop speech API: a voice
// object that speaks text and reports words as they are heard, and a shared
// recognition context that turns microphone input into phrases.  Every member
// that can fail throws ESpeechError with an English message; events reach the
// thread that owns the object (the GUI thread) through queued signals.
#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

#include <stdexcept>

// A failure of the speech service: no engine, no audio device, bad argument.
class ESpeechError : public std::runtime_error {
public:
  explicit ESpeechError(const QString& message)
      : std::runtime_error(message.toStdString()) {}
  QString Message() const { return QString::fromStdString(what()); }
};

// Flags of TSpVoice::Speak.
enum : int {
  SVSFDefault = 0,           // wait until the text has been spoken
  SVSFlagsAsync = 1,         // return at once; events follow
  SVSFPurgeBeforeSpeak = 2,  // drop what is being spoken or queued first
};

// Event interests of TSpSharedRecoContext (bit values of the platform's API).
enum : int {
  SREStreamEnd = 0x1,
  SRESoundStart = 0x2,
  SRESoundEnd = 0x4,
  SREPhraseStart = 0x8,
  SRERecognition = 0x10,
  SREHypothesis = 0x20,
  SREFalseRecognition = 0x200,
  SREStateChange = 0x1000,
  SREStreamStart = 0x4000,
  SREAudioLevel = 0x10000,
  SREAllEvents = 0x5FFFF,  // 393215
};

// Dictation states of TSpRecoGrammar::DictationSetState.
enum : int {
  SGDSInactive = 0,
  SGDSActive = 1,
};

// Recognition types passed with OnRecognition.
enum : int {
  SRTStandard = 0,
  SRTAutopause = 1,
  SRTEmulated = 2,
};

// One installed voice.  Tokens are plain values: copying one is the
// "reference" the menu keeps; two tokens of one voice compare equal and give
// equal descriptions.
class TSpObjectToken {
public:
  TSpObjectToken() = default;
  TSpObjectToken(QString id, QString description, QString language = {})
      : FId(std::move(id)), FDescription(std::move(description)),
        FLanguage(std::move(language)) {}

  // The engine's name for the voice (its file below the voices folder).
  QString Id() const { return FId; }
  // The display name, as a menu shows it ("English (Great Britain)").
  QString GetDescription(int locale = 0) const {
    (void)locale;
    return FDescription;
  }
  // The voice's main language code ("en-gb").
  QString Language() const { return FLanguage; }
  bool IsNull() const { return FId.isEmpty(); }

  friend bool operator==(const TSpObjectToken& a, const TSpObjectToken& b) {
    return a.FId == b.FId;
  }

private:
  QString FId, FDescription, FLanguage;
};

// The collection GetVoices returns: Count() and Item(i), index from 0.
class TSpObjectTokens {
public:
  TSpObjectTokens() = default;
  explicit TSpObjectTokens(QList<TSpObjectToken> items) : FItems(std::move(items)) {}
  int Count() const { return int(FItems.size()); }
  TSpObjectToken Item(int index) const {
    if (index < 0 || index >= Count())
      throw ESpeechError(QStringLiteral("Voice index out of range"));
    return FItems[index];
  }
  const QList<TSpObjectToken>& Items() const { return FItems; }

private:
  QList<TSpObjectToken> FItems;
};

Q_DECLARE_METATYPE(TSpObjectToken)

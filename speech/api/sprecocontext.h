// The shared recogniser: dictation from the microphone.
//
// PocketSphinx decodes on a worker thread fed by a QAudioSource (16 kHz,
// 16-bit mono) opened on the input device the service's settings name.  A
// phrase ends at each transition from speech to silence; each phrase is one
// OnRecognition.  Deactivating dictation flushes a phrase in progress.
//
// Typical use (the main window):
//   auto* r = new TSpSharedRecoContext(this);
//   r->SetEventInterests(SREAllEvents);
//   std::shared_ptr<TSpRecoGrammar> g = r->CreateGrammar(0);
//   g->DictationSetState(SGDSInactive);
//   connect(r, &TSpSharedRecoContext::OnRecognition, this, &W::RecoContextRecognition);
//   if (r->Recognizer()->IsUISupported("AudioProperties")) ...
//   g->DictationSetState(SGDSActive);     // throws: no model, no microphone
//   ... OnRecognition(..., result) -> result.PhraseInfo().GetText(0, -1, true)
//
// The service keeps its own settings (input device, volume, model, sensitivity,
// added words, default voice) in speech.ini below the user's configuration
// folder (QStandardPaths::GenericConfigLocation + "/varnelo-speech").
#pragma once

#include "spcommon.h"

#include <QObject>
#include <QVariant>

#include <memory>

class QWidget;
class TSpSharedRecoContext;
class TSpRecoEngine;
class TCommentLearner;
class TPhraseKeeper;

// The text of a recognised phrase: words as the engine heard them.
class TSpPhraseInfo {
public:
  TSpPhraseInfo() = default;
  explicit TSpPhraseInfo(QStringList words) : FWords(std::move(words)) {}

  // Words [firstElement, firstElement + numElements) joined by blanks
  // (numElements -1: to the end).  With useReplacements, the display text:
  // the words in their written form, as a radiologist writes them ("three
  // point two by two point one centimeters" "3.2 x 2.1 cm", "c five c six"
  // "C5-C6", "ten thirty" "10:30" after "at"), and spoken punctuation as its
  // symbol: "comma" ",", "question mark" "?", "exclamation mark" "!",
  // "colon" ":", "semicolon" ";", "new line" a line break, "new paragraph"
  // two, and "full stop" or "period" "." when it ends the phrase; symbols
  // attach to the word before them.
  QString GetText(int firstElement = 0, int numElements = -1,
                  bool useReplacements = true) const;
  const QStringList& Words() const { return FWords; }

private:
  QStringList FWords;
};

class TSpRecoResult {
public:
  TSpRecoResult() = default;
  TSpRecoResult(QStringList words, qint64 audioStartMs, qint64 audioEndMs, qint64 phraseId = 0)
      : FPhrase(std::move(words)), FStartMs(audioStartMs), FEndMs(audioEndMs), FPhraseId(phraseId) {}
  TSpPhraseInfo PhraseInfo() const { return FPhrase; }
  // The phrase's place in the audio since dictation was activated.
  qint64 AudioStartMs() const { return FStartMs; }
  qint64 AudioEndMs() const { return FEndMs; }
  // Names the phrase's sound for the context's PhraseAudio; 0: none kept.
  qint64 PhraseId() const { return FPhraseId; }

private:
  TSpPhraseInfo FPhrase;
  qint64 FStartMs = 0, FEndMs = 0, FPhraseId = 0;
};
Q_DECLARE_METATYPE(TSpRecoResult)

// A phrase dictated into a text, and where its text was put (the position
// in the text at the time, -1 unknown).
struct TSpDictatedPhrase {
  TSpRecoResult result;
  qsizetype at = -1;
};

// The one grammar of a context: free dictation, or, when a phrase list is
// set, exactly those phrases (a JSGF alternative list).  Holds only a weak
// link to its context: once the context is gone, members throw.
class TSpRecoGrammar {
public:
  int Id() const { return FId; }
  // SGDSActive starts listening (opens the microphone; throws ESpeechError when
  // the model or the input device fails, or the device has not opened within
  // 5 s), SGDSInactive stops and flushes a phrase in progress.
  void DictationSetState(int state);
  int DictationState() const;
  // Restricts recognition to these phrases (lower-case words of the
  // dictionary, spoken punctuation words allowed).  An empty list returns to
  // free dictation.  A phrase being heard is finished first.  Throws for a
  // word the dictionary lacks.
  void SetPhraseList(const QStringList& phrases);
  QStringList PhraseList() const;

private:
  friend class TSpSharedRecoContext;
  TSpRecoGrammar(std::weak_ptr<TSpRecoEngine> engine, int id)
      : FEngine(std::move(engine)), FId(id) {}
  std::shared_ptr<TSpRecoEngine> Engine() const;
  std::weak_ptr<TSpRecoEngine> FEngine;
  int FId;
};

// The recogniser behind a context: its dialogs and its audio input.
class TSpRecognizer {
public:
  // True exactly for "AudioProperties", "AudioVolume", "AddRemoveWord",
  // "MicTraining", "EngineProperties" and "UserTraining".
  bool IsUISupported(const QString& typeOfUI, const QVariant& extraData = QVariant());
  // Shows the dialog modally; throws for an unsupported type.
  void DisplayUI(QWidget* parent, const QString& title, const QString& typeOfUI,
                 const QVariant& extraData = QVariant());

  // The input device (QAudioDevice::id()) dictation listens to; empty: the
  // sound server's default source (Qt's own default ignores it).  Stored in
  // the service's settings.
  QByteArray AudioInputId() const;
  void SetAudioInputId(const QByteArray& id);

private:
  friend class TSpSharedRecoContext;
  explicit TSpRecognizer(std::weak_ptr<TSpRecoEngine> engine) : FEngine(std::move(engine)) {}
  std::shared_ptr<TSpRecoEngine> Engine() const;
  std::weak_ptr<TSpRecoEngine> FEngine;
};

class TSpSharedRecoContext : public QObject {
  Q_OBJECT
public:
  explicit TSpSharedRecoContext(QObject* owner = nullptr);
  ~TSpSharedRecoContext() override;

  // Connects to the recogniser: checks the model files and that an audio
  // input exists.  Called by the first member used; throws ESpeechError.
  void Connect();

  int EventInterests();
  void SetEventInterests(int interests);
  // The context's grammar (one per context; a second call returns it again).
  std::shared_ptr<TSpRecoGrammar> CreateGrammar(int grammarId = 0);
  // Owned by the context.
  TSpRecognizer* Recognizer();

  // Waits (local event loop) until no phrase is being decoded or msTimeout
  // passes.  For tests and benchmarks.
  bool WaitUntilIdle(int msTimeout);

  // Teaches dictation a comment the user has saved: text as saved, before
  // the comment its file held when shown (its sentences are not learned
  // again).  Learned in the background after any learn before it, unless
  // Engine Properties has it off; the recogniser uses it from its next
  // dictation.  Needs no microphone; returns at once and never throws: a
  // learn that fails is logged.
  void LearnSavedText(const QString& text, const QString& before = QString());
  // Waits (local event loop) until the texts given are learned or msTimeout
  // passes.  For tests.
  bool WaitUntilLearned(int msTimeout);

  // The sound a recognised phrase was heard from (16 kHz mono), while it is
  // among the last ten minutes or so of phrases; empty after.
  std::vector<short> PhraseAudio(qint64 phraseId) const;
  // Keeps the phrases dictated into a comment the user has saved, those the
  // text as saved still holds, with their sound as training material for
  // the next training, unless Engine Properties has it off. In the
  // background, after any keep before it; returns at once and never throws:
  // a keep that fails is logged.
  void KeepDictatedPhrases(const QString& text, const QList<TSpDictatedPhrase>& phrases);
  // Waits (local event loop) until the phrases given are kept or msTimeout
  // passes.  For tests.
  bool WaitUntilPhrasesKept(int msTimeout);

signals:
  void OnRecognition(QObject* sender, int streamNumber, qint64 streamPosition,
                     int recognitionType, const TSpRecoResult& result);
  // Speech ended but nothing was recognised.
  void OnFalseRecognition(QObject* sender, int streamNumber, qint64 streamPosition,
                          int recognitionType, const TSpRecoResult& result);
  void OnSoundStart(QObject* sender, int streamNumber, qint64 streamPosition);
  void OnSoundEnd(QObject* sender, int streamNumber, qint64 streamPosition);
  // Input level 0..100, about ten times a second while listening.
  void OnAudioLevel(QObject* sender, int streamNumber, qint64 streamPosition, int level);

private:
  friend class TSpRecoEngine;
  std::shared_ptr<TSpRecoEngine> FEngine;
  std::shared_ptr<TSpRecoGrammar> FGrammar;
  std::unique_ptr<TSpRecognizer> FRecognizer;
  int FInterests;
  std::unique_ptr<TCommentLearner> FLearner;  // made at the first saved text
  std::unique_ptr<TPhraseKeeper> FKeeper;     // likewise
};

// The speech synthesiser: text to audio with word events.
//
// Synthesis runs on one worker thread that owns the engines (espeak-ng keeps
// one global instance per process, so every TSpVoice shares that thread; flite
// voices run on it too, keeping one queue);
// playback runs on a thread of its own through QAudioSink.  Word events fire
// when the sink has played up to the word's first sample, not by wall time.
//
// Typical use (the main window):
//   auto* v = new TSpVoice(this);
//   connect(v, &TSpVoice::OnWord, this, &TMainWindow::VoiceWord);
//   connect(v, &TSpVoice::OnEndStream, this, &TMainWindow::VoiceEndStream);
//   TSpObjectTokens all = v->GetVoices();          // throws: no engine
//   v->Speak(text, SVSFlagsAsync);                 // throws: no audio output
//   v->Pause(); v->Resume();
//   v->Speak(QString(), SVSFPurgeBeforeSpeak);     // stop and drop everything
#pragma once

#include "spcommon.h"
#include "sptext.h"

#include <QObject>

#include <memory>
#include <vector>

class TSpVoicePrivate;

class TSpVoice : public QObject {
  Q_OBJECT
public:
  explicit TSpVoice(QObject* owner = nullptr);
  ~TSpVoice() override;

  // When set (the default), the first member used connects to the engine.
  // When cleared, members throw until Connect() has been called.
  bool AutoConnect() const;
  void SetAutoConnect(bool on);
  // Starts the engine (loads espeak-ng's data).  Throws ESpeechError when the
  // engine cannot start, e.g. its data folder is missing.  Harmless when
  // already connected.
  void Connect();
  bool Connected() const;

  // The voices the service offers, in its order: flite's natural voices
  // first, then espeak-ng's for English and the user's language (and the
  // languages the settings add), each group by description.  The attribute
  // filters are accepted for symmetry and must be empty.
  TSpObjectTokens GetVoices(const QString& requiredAttributes = QString(),
                            const QString& optionalAttributes = QString());
  // The voice used by later Speak calls.  At connection it is the service's
  // default voice (its settings file, else the most natural English voice).
  TSpObjectToken Voice();
  // Throws when the token names no installed voice (listed or not).
  void SetVoice(const TSpObjectToken& token);

  // Queues text for speaking and returns its stream number (from 1).
  // SVSFPurgeBeforeSpeak first stops synthesis and playback and drops all
  // queued streams (their OnEndStream never fires); empty text with that flag
  // is the plain purge.  Without SVSFlagsAsync the call waits, running a local
  // event loop, until the text has played out.  Throws ESpeechError when the
  // engine is not available or the audio output cannot be opened (checked
  // before returning).  Dashes and typographic quotes are replaced one for one
  // before synthesis, so positions in events still count characters of `text`.
  int Speak(const QString& text, int flags = SVSFDefault);
  // Halts output where it is; Resume continues from there.
  void Pause();
  void Resume();

  // Synthesises text with the current voice into 16-bit mono samples at
  // SampleRate(), without an audio device, waiting for the whole text; words
  // gets the word marks (positions as OnWord gives them).  Independent of
  // Speak's queue position and purges.
  std::vector<short> SynthesizeToSamples(const QString& text, std::vector<TWordMark>* words = nullptr);
  int SampleRate();

  // Waits (local event loop) until all queued speech has played out or
  // msTimeout passes (-1: no limit).  Returns true when done.
  bool WaitUntilDone(int msTimeout);
  // True from Speak until the last queued stream has played out or is purged.
  bool IsSpeaking() const;
  // The sink's processed time in microseconds since it opened (the clock word
  // events follow), carried forward between readings; for diagnostics and
  // benchmarks.  A purge opens a new sink, which starts again at 0.
  qint64 SinkProcessedUSecs() const;

signals:
  // A word starts being heard.  characterPosition and length count UTF-16
  // code units of the text given to Speak (a line break counts as the
  // characters the text has for it); streamPosition is the byte offset of the
  // word in the synthesised audio (16-bit mono, 22050 Hz).
  void OnWord(QObject* sender, int streamNumber, qint64 streamPosition,
              int characterPosition, int length);
  // Everything of stream streamNumber has been heard.
  void OnEndStream(QObject* sender, int streamNumber, qint64 streamPosition);
  // The engine or the audio output failed while a stream was playing (e.g.
  // the sound server went away).  Speech stops; OnEndStream follows.
  void OnAudioError(QObject* sender, const QString& message);

private:
  friend class TSpVoicePrivate;
  std::unique_ptr<TSpVoicePrivate> d;
};

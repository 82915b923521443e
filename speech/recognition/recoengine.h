// The recogniser behind TSpSharedRecoContext: a PocketSphinx decoder on a
// worker thread, fed by a QAudioSource on a thread of its own.
#pragma once

#include "phraseaudio.h"
#include "recomodel.h"
#include "spcommon.h"

#include <QMap>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

class QAudioSource;
class QIODevice;
class QThread;
struct ps_decoder_s;

class TRecoInput;

class TSpRecoEngine : public QObject {
  Q_OBJECT
public:
  TSpRecoEngine();
  ~TSpRecoEngine() override;

  // Checks the model files and the audio input, then starts loading the
  // decoder in the background.  Throws ESpeechError.
  void Connect();
  // The same without a microphone: audio comes only through Feed (tools,
  // benchmarks), with this model instead of the settings' one.
  void ConnectForFeed(const TRecoModel& model);
  bool Connected() const { return FConnected; }

  // Blocks until the decoder is loaded; throws on failure.
  void WaitLoaded();
  void Activate();    // opens the microphone; throws
  void Deactivate();  // closes it and flushes a phrase in progress
  bool Active() const { return FActive; }
  int Activations() const { return FActivations; }

  void SetPhraseList(const QStringList& phrases);  // throws on unknown words
  QStringList PhraseList() const { return FPhrases; }
  // Adds a word to the running decoder (pronunciation in the model's phones).
  void AddWord(const QString& word, const QString& phones);
  // The pronunciation of a known word, empty when unknown.
  QString LookupWord(const QString& word);

  // Feeds audio directly (16 kHz mono); used by the microphone and by tools.
  void Feed(const short* samples, int count);
  // Decoding backlog: true while fed audio waits to be decoded.
  bool Busy() const;
  // Seconds of audio decoded and CPU seconds spent on it.
  void Timing(double* audioSeconds, double* cpuSeconds) const;
  // Starts the running cepstral mean from this audio's speech, as if the
  // recogniser had already heard it; returns false when it holds no speech.
  bool SeedCepstralMean(const std::vector<short>& samples);
  // The running cepstral mean (one value per cepstral coefficient).
  std::vector<float> CepstralMean();
  // The sound of a recognised phrase (its id from Recognised), while it is
  // among the last minutes of phrases heard; empty after. Only for the
  // microphone: fed audio is the caller's already.
  std::vector<short> PhraseAudio(qint64 id) const { return FAudio.Phrase(id); }

signals:
  void PhraseStarted(qint64 ms);
  void PhraseEnded(qint64 ms);
  // id: the phrase's sound for PhraseAudio, 0 when none is kept.
  void Recognised(const QStringList& words, qint64 startMs, qint64 endMs, qint64 id);
  void NothingRecognised(qint64 startMs, qint64 endMs);
  void Level(int level);

private:
  using TTask = std::function<void()>;
  void Post(TTask task);
  template <typename R>
  R Call(std::function<R()> f);
  void Run();
  void Load(const TRecoModel& m);
  bool Build(const TRecoModel& m);
  void ReloadIfRetrained();
  void CheckModel(const TRecoModel& m) const;
  void Decode(std::vector<short> samples);
  void EndPhrase(bool flush);
  // Queues the end of a dictation: the phrase in progress, then the running
  // mean kept for the microphone's next start.
  void PostEndOfDictation();

  // Worker state (touched only on the worker thread).
  ps_decoder_s* FDecoder = nullptr;
  bool FHeardSpeech = false;  // since the microphone opened
  std::vector<float> FInitialMean;  // the model's own starting mean
  QString FLoadError;
  QByteArray FDefaultSearch;
  bool FInUtterance = false, FInSpeech = false;
  qint64 FSamples = 0, FPhraseStart = 0, FPhraseStartSample = 0;
  TPhraseAudio FAudio;
  bool FKeepAudio = false;  // set before the worker starts
  double FCpu = 0;

  std::thread FThread;
  mutable std::mutex FMutex;
  std::condition_variable FWake;
  std::deque<TTask> FTasks;
  int FPendingAudio = 0;
  bool FRunning = false;  // a task is running on the worker
  bool FQuit = false;
  // Set while the engine is destroyed: queued work still runs (the mean is
  // kept) but signals no longer go out to objects going away with it.
  std::atomic<bool> FClosing{false};
  std::shared_future<void> FLoaded;
  std::promise<void> FLoadedPromise;

  bool FConnected = false;
  bool FActive = false;
  int FActivations = 0;
  QStringList FPhrases;
  QString FAcousticModel;  // the one loaded, for noticing a training
  QString FLanguageModel;  // the same for a learn
  QByteArray FInputId;     // the microphone the running mean belongs to
  std::unique_ptr<QThread> FInputThread;
  TRecoInput* FInput = nullptr;
  std::shared_future<QString> FInputStart;
  mutable double FAudioSecondsCache = 0, FCpuCache = 0;
};

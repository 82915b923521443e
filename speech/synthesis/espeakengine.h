// The one espeak-ng instance of the process, owned by one worker thread.
#pragma once

#include "spcommon.h"
#include "sptext.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

// Where a synthesis job's output goes; called on the engine's thread.
class TSynthOutput {
public:
  virtual ~TSynthOutput() = default;
  virtual void Audio(int stream, const short* samples, int count) = 0;
  // sample: offset of the word's first sample from the start of the stream.
  virtual void Word(int stream, qint64 sample, int position, int length) = 0;
  virtual void Done(int stream, bool completed) = 0;
};

// Per caller: a purge raises the generation, which aborts the running job and
// drops the queued ones of an older generation.
struct TSynthChannel {
  std::atomic<int> generation{0};
};

class TEspeakEngine {
public:
  // Starts (or shares) the engine; throws ESpeechError when it cannot start.
  static std::shared_ptr<TEspeakEngine> Acquire();
  ~TEspeakEngine();

  int SampleRate() const { return FSampleRate; }
  const QList<TSpObjectToken>& Voices() const { return FVoices; }
  TSpObjectToken DefaultVoice() const { return FDefault; }

  struct TJob {
    std::shared_ptr<TSynthChannel> channel;
    int generation = 0;
    int stream = 0;
    QString voiceId;
    TSpeakText text;
    std::shared_ptr<TSynthOutput> output;
  };
  void Submit(TJob job);

private:
  TEspeakEngine() = default;
  void Run(std::promise<QString>* started, QString dataPath);
  void Synthesise(TJob& job);

  std::thread FThread;
  std::mutex FMutex;
  std::condition_variable FWake;
  std::deque<TJob> FJobs;
  bool FQuit = false;
  int FSampleRate = 22050;
  QList<TSpObjectToken> FVoices;
  TSpObjectToken FDefault;
  QString FCurrentVoice;
};

// The one espeak-ng instance of the process, owned by one worker thread: the
// synthesis thread, which also runs the jobs of the other engines' voices.
#pragma once

#include "spcommon.h"
#include "sptext.h"
#include "synthjob.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

class TEspeakEngine {
public:
  // Starts (or shares) the engine; throws ESpeechError when it cannot start.
  static std::shared_ptr<TEspeakEngine> Acquire();
  ~TEspeakEngine();

  int SampleRate() const { return FSampleRate; }
  const QList<TSpObjectToken>& Voices() const { return FVoices; }
  TSpObjectToken DefaultVoice() const { return FDefault; }

  using TJob = TSynthJob;
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

// What the synthesis engines share: a job of text to speak, where its audio
// and word marks go, and the purge counter that aborts it.
#pragma once

#include "sptext.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

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

struct TSynthJob {
  std::shared_ptr<TSynthChannel> channel;
  int generation = 0;
  int stream = 0;
  QString voiceId;
  TSpeakText text;
  std::shared_ptr<TSynthOutput> output;
  // Every engine delivers 16-bit mono at this rate.
  int sampleRate = 22050;
  // Set for a voice of another engine: run on the synthesis thread in place
  // of espeak-ng, so one queue keeps the streams of all voices in order.
  std::function<void(TSynthJob&)> synthesise;
};

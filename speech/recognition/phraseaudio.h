// The sound of the phrases the recogniser heard, kept for a while so that a
// phrase the user keeps in a saved comment can become training material.
// Fed on the decoder's thread; read from any thread.
#pragma once

#include <QtGlobal>

#include <deque>
#include <mutex>
#include <vector>

class TPhraseAudio {
public:
  // 16 kHz samples: what is kept of the phrases, and the longest stretch of
  // recent audio a phrase can be cut from.
  explicit TPhraseAudio(qint64 keptSamples = 10 * 60 * 16000, qint64 recentSamples = 90 * 16000)
      : FKeptLimit(keptSamples), FRecentLimit(recentSamples) {}

  // Audio as it is decoded, in order.
  void Append(const short* samples, size_t count);
  // Keeps samples [from, to) of all audio appended (a little before `from`
  // too: the voice starts before the detector notices it). Returns the
  // phrase's id, or 0 when that audio is no longer at hand.
  qint64 Keep(qint64 from, qint64 to);
  // A kept phrase's samples; empty once dropped (the oldest go first).
  std::vector<short> Phrase(qint64 id) const;
  qint64 Appended() const;

private:
  struct TKept {
    qint64 id;
    std::vector<short> samples;
  };
  mutable std::mutex FMutex;
  const qint64 FKeptLimit, FRecentLimit;
  std::vector<short> FRecent;
  qint64 FRecentStart = 0;  // sample number of FRecent[0]
  std::deque<TKept> FKept;
  qint64 FKeptSamples = 0, FNextId = 1;
};

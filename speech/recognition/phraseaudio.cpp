#include "phraseaudio.h"

#include <algorithm>

namespace {
// The detector needs a few frames of speech before it says so, and audio
// arrives in blocks: this much earlier holds the phrase's first sound.
constexpr qint64 kLeadIn = 16000 * 6 / 10;
}  // namespace

void TPhraseAudio::Append(const short* samples, size_t count) {
  std::lock_guard lock(FMutex);
  FRecent.insert(FRecent.end(), samples, samples + count);
  // Dropped in halves, so that appending stays cheap.
  if (qint64(FRecent.size()) > 2 * FRecentLimit) {
    const qint64 drop = qint64(FRecent.size()) - FRecentLimit;
    FRecent.erase(FRecent.begin(), FRecent.begin() + drop);
    FRecentStart += drop;
  }
}

qint64 TPhraseAudio::Appended() const {
  std::lock_guard lock(FMutex);
  return FRecentStart + qint64(FRecent.size());
}

qint64 TPhraseAudio::Keep(qint64 from, qint64 to) {
  std::lock_guard lock(FMutex);
  if (from < FRecentStart) return 0;  // its start has gone already
  from = std::max(from - kLeadIn, FRecentStart);
  to = std::min(to, FRecentStart + qint64(FRecent.size()));
  if (to <= from || to - from > FKeptLimit) return 0;
  TKept k{FNextId++, std::vector<short>(FRecent.begin() + (from - FRecentStart), FRecent.begin() + (to - FRecentStart))};
  FKeptSamples += qint64(k.samples.size());
  FKept.push_back(std::move(k));
  while (FKeptSamples > FKeptLimit) {
    FKeptSamples -= qint64(FKept.front().samples.size());
    FKept.pop_front();
  }
  return FKept.back().id;
}

std::vector<short> TPhraseAudio::Phrase(qint64 id) const {
  std::lock_guard lock(FMutex);
  for (const TKept& k : FKept)
    if (k.id == id) return k.samples;
  return {};
}

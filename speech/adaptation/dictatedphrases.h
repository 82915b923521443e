// Phrases dictated into comments the user saved, kept with the sound they
// were heard from as training material: a phrase the saved comment still
// holds (phrasealign.h) is kept with the comment's words as its transcript,
// in phrases/ beside the kept read prompts, in the same form (WAV files and
// an index, written to the side and renamed), at most two hours of sound,
// the oldest dropped first. "Train Again" uses them with the read prompts.
#pragma once

#include "keptrecordings.h"

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

QString DictatedPhrasesFolder();
// The settings' switch (on unless switched off in Engine Properties).
bool DictatedPhrasesKept();
void SetDictatedPhrasesKept(bool on);
inline constexpr int kMaxDictatedSeconds = 2 * 3600;

// A phrase as dictation gave it: its words, where its text went in the
// comment (a position in the comment's text, -1 unknown), its sound.
struct TDictatedSound {
  QStringList words;
  qsizetype at = -1;
  std::vector<short> samples;
};
// Keeps those of the phrases the saved comment still holds; returns how
// many. Throws ESpeechError when they cannot be written; on failure nothing
// is added.
int KeepDictatedPhrases(const QString& comment, const std::vector<TDictatedSound>& phrases);
// Every kept phrase that can be read; damaged ones named in problems.
TKeptRecordings LoadDictatedPhrases();
TKeptSize DictatedPhrasesSize();
// "14 phrases, 2 min 10 s", for the user.
QString DictatedPhrasesSummary();
void RemoveDictatedPhrases();
// What a training takes besides its own recordings: the kept read prompts,
// then the kept phrases.
TKeptRecordings LoadKeptMaterial();

// Keeps phrases on a thread of its own, one save after another, so that a
// save never waits for it: a failure is logged, never shown.
class TPhraseKeeper {
public:
  TPhraseKeeper() = default;
  // Finishes what is queued (the index is replaced in one rename, so even
  // a kill part-way leaves the kept phrases whole).
  ~TPhraseKeeper();
  TPhraseKeeper(const TPhraseKeeper&) = delete;
  TPhraseKeeper& operator=(const TPhraseKeeper&) = delete;

  // Queues a saved comment's phrases and returns at once; never throws.
  void Add(QString comment, std::vector<TDictatedSound> phrases);
  bool Idle() const;

private:
  struct TJob {
    QString comment;
    std::vector<TDictatedSound> phrases;
  };
  void Run();

  mutable std::mutex FMutex;
  std::condition_variable FWake;
  std::deque<TJob> FQueue;
  bool FBusy = false, FQuit = false;
  std::thread FThread;
};

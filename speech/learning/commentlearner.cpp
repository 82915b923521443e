#include "commentlearner.h"

#include "spsettings.h"

#include <QtGlobal>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <exception>
#include <iterator>
#include <vector>

namespace {
// How long closing waits for a learn under way before cancelling it: a
// small store is learned within it, a large one is not worth a hung window.
constexpr auto kFinishWithin = std::chrono::seconds(5);
}  // namespace

bool SavedCommentsLearned() { return OpenSpeechSettings()->value(kLearnSavedComments, true).toBool(); }

void SetSavedCommentsLearned(bool on) { OpenSpeechSettings()->setValue(kLearnSavedComments, on); }

TCommentLearner::~TCommentLearner() {
  {
    std::unique_lock lock(FMutex);
    FQuit = true;
    FWake.notify_all();
    FIdle.wait_for(lock, kFinishWithin, [this] { return !FBusy && FQueue.empty(); });
  }
  FCancel = true;
  if (FThread.joinable()) FThread.join();
}

void TCommentLearner::Add(TSavedComment comment) {
  try {
    std::lock_guard lock(FMutex);
    FQueue.push_back(std::move(comment));
    if (!FThread.joinable()) FThread = std::thread([this] { Run(); });
  } catch (const std::exception& e) {
    qWarning("varnelo-speech: a saved comment could not be queued for learning: %s", e.what());
  }
  FWake.notify_one();
}

bool TCommentLearner::Idle() const {
  std::lock_guard lock(FMutex);
  return !FBusy && FQueue.empty();
}

void TCommentLearner::Run() {
  // A learn takes seconds of work: dictation and the window go first.
  ::setpriority(PRIO_PROCESS, id_t(::gettid()), 10);
  for (;;) {
    std::vector<TSavedComment> batch;
    {
      std::unique_lock lock(FMutex);
      FWake.wait(lock, [this] { return FQuit || !FQueue.empty(); });
      if (FQueue.empty()) return;
      // Comments saved while a learn ran go into one learn together.
      batch.assign(std::make_move_iterator(FQueue.begin()), std::make_move_iterator(FQueue.end()));
      FQueue.clear();
      FBusy = true;
    }
    try {
      if (SavedCommentsLearned()) LearnSavedComments(batch, &FCancel);
    } catch (const std::exception& e) {
      qWarning("varnelo-speech: a saved comment was not learned: %s", e.what());
    }
    {
      std::lock_guard lock(FMutex);
      FBusy = false;
    }
    FIdle.notify_all();
  }
}

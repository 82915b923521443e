// Saved comments teach dictation: each comment the user saves is queued and
// learned (learn.h) on a thread of its own, one learn after another, while
// the service's settings allow it (on unless switched off in Engine
// Properties). A save has succeeded whatever becomes of its learn: a failure
// is logged, never shown.
#pragma once

#include "learn.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// The settings' switch: are saved comments learned?
bool SavedCommentsLearned();
void SetSavedCommentsLearned(bool on);

class TCommentLearner {
public:
  TCommentLearner() = default;
  // A learn under way gets a few seconds to finish, then is cancelled: the
  // model in use and the store stay as they were.
  ~TCommentLearner();
  TCommentLearner(const TCommentLearner&) = delete;
  TCommentLearner& operator=(const TCommentLearner&) = delete;

  // Queues a saved comment and returns at once; never throws.
  void Add(TSavedComment comment);
  // Nothing queued and nothing being learned.
  bool Idle() const;

private:
  void Run();

  mutable std::mutex FMutex;
  std::condition_variable FWake, FIdle;
  std::deque<TSavedComment> FQueue;
  bool FBusy = false, FQuit = false;
  std::atomic<bool> FCancel{false};
  std::thread FThread;
};

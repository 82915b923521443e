// Playback's hold on synthesis: an engine hands audio to the player far
// faster than it is heard, so the player keeps it waiting once a bounded
// stretch is queued, and lets it go on (dropping the rest) at a purge.  No
// sound server: nothing is ever taken by a sink here.
#include "audioplayer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 22050;

bool WaitUntil(const std::function<bool()>& Done, int Ms) {
  const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > End) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace

TEST(PlayerHold, AnEngineWaitsOnceTwentySecondsAreQueuedAndAPurgeReleasesIt) {
  struct TCase {
    double pieceSeconds;  // audio per Audio() call
    int pieces;           // calls the engine makes
    int acceptedBeforeWait;
  };
  const TCase cases[] = {
      {1.0, 40, 20},    // a sentence at a time: twenty seconds, then a wait
      {7.0, 10, 3},     // 21 s queued: over the limit, the fourth waits
      {30.0, 3, 1},     // one piece longer than the limit still goes in
      {0.5, 30, 30},    // fifteen seconds in all: never waits
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.pieceSeconds);
    TAudioPlayer player(kRate);
    player.AddStream(1);
    const std::vector<short> piece(size_t(c.pieceSeconds * kRate), 1000);
    std::atomic<int> returned{0};
    std::thread engine([&] {
      for (int i = 0; i < c.pieces; ++i) {
        player.Audio(1, piece.data(), int(piece.size()));
        ++returned;
      }
      player.Done(1, true);
    });
    ASSERT_TRUE(WaitUntil([&] { return returned.load() >= c.acceptedBeforeWait; }, 5000)) << returned.load();
    // Held, not merely slow: nothing more goes in while the sink takes nothing.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(returned.load(), std::min(c.pieces, c.acceptedBeforeWait));
    player.Purge();
    ASSERT_TRUE(WaitUntil([&] { return returned.load() == c.pieces; }, 5000)) << returned.load();
    engine.join();
  }
}

TEST(PlayerHold, OnlyTheQueueOfLiveStreamsHoldsAnEngine) {
  // A stream already purged (or never added) is dropped at once, however
  // much of it comes: the engine is aborting it.
  TAudioPlayer player(kRate);
  const std::vector<short> minute(size_t(60) * kRate, 1000);
  std::atomic<int> returned{0};
  std::thread engine([&] {
    for (int i = 0; i < 5; ++i) {
      player.Audio(7, minute.data(), int(minute.size()));
      ++returned;
    }
  });
  EXPECT_TRUE(WaitUntil([&] { return returned.load() == 5; }, 5000)) << returned.load();
  engine.join();
}

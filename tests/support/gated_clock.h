// A clock whose sleeps wait for the test: each sleep blocks until the test releases
// it, then moves the time on by the seconds slept. For code that retries on a timer,
// so that a test can act between two attempts.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "bsv1.h"

class GatedClock : public bsv1::Clock {
 public:
  explicit GatedClock(int64_t startSeconds = 1000000);
  // Releases every sleeper for good and restores the clock that was in effect.
  ~GatedClock() override;

  BSV1_Time now() override;
  void sleep(unsigned seconds) override;

  // Waits until a thread sleeps (and has not been released); false when none did
  // within the time.
  bool waitForSleeper(int waitMs);
  // Lets one sleeper go on.
  void release();
  // Lets every sleep from now on pass at once.
  void open();
  // Sleeps begun so far.
  int sleeps();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int64_t seconds_;
  int sleeping_ = 0;
  int released_ = 0;
  int sleeps_ = 0;
  bool open_ = false;
  bsv1::Clock* previous_;
};

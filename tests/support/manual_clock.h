// A clock the test drives: sleeps return at once and move the time on.
#pragma once

#include <atomic>

#include "bsv1.h"

class ManualClock : public bsv1::Clock {
 public:
  explicit ManualClock(int64_t startSeconds = 1000000);
  ~ManualClock() override;  // restores the clock that was in effect

  BSV1_Time now() override;
  void sleep(unsigned seconds) override;
  void advance(int64_t seconds);
  int64_t sleptSeconds() const { return slept_.load(); }

 private:
  std::atomic<int64_t> seconds_;
  std::atomic<int64_t> slept_{0};
  bsv1::Clock* previous_;
};

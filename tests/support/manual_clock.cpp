#include "manual_clock.h"

ManualClock::ManualClock(int64_t startSeconds) : seconds_(startSeconds), previous_(bsv1::SetClock(this)) {}

ManualClock::~ManualClock() { bsv1::SetClock(previous_); }

BSV1_Time ManualClock::now() { return BSV1_Time{seconds_.load(), 0}; }

void ManualClock::sleep(unsigned seconds) {
  slept_ += seconds;
  seconds_ += seconds;
}

void ManualClock::advance(int64_t seconds) { seconds_ += seconds; }

#include "gated_clock.h"

#include <chrono>

GatedClock::GatedClock(int64_t startSeconds) : seconds_(startSeconds), previous_(bsv1::SetClock(this)) {}

GatedClock::~GatedClock() {
  open();
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return sleeping_ == 0; });
  bsv1::SetClock(previous_);
}

BSV1_Time GatedClock::now() {
  std::lock_guard<std::mutex> lock(mutex_);
  return BSV1_Time{seconds_, 0};
}

void GatedClock::sleep(unsigned seconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  ++sleeps_;
  ++sleeping_;
  changed_.notify_all();
  changed_.wait(lock, [this] { return open_ || released_ > 0; });
  if (!open_) --released_;
  --sleeping_;
  seconds_ += seconds;
  changed_.notify_all();
}

bool GatedClock::waitForSleeper(int waitMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return sleeping_ > released_; });
}

void GatedClock::release() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++released_;
  changed_.notify_all();
}

void GatedClock::open() {
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = true;
  changed_.notify_all();
}

int GatedClock::sleeps() {
  std::lock_guard<std::mutex> lock(mutex_);
  return sleeps_;
}

#include "tally.h"

void Tally::add() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (++count_ >= awaited_ && awaited_ > 0) reached_.notify_all();
}

long Tally::count() {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

bool Tally::waitFor(long count, Clock::time_point until) {
  std::unique_lock<std::mutex> lock(mutex_);
  awaited_ = count;
  bool reached = reached_.wait_until(lock, until, [&] { return count_ >= count; });
  awaited_ = 0;
  return reached;
}

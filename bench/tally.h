// A count that one thread raises and another waits for: the rows at a consumer, the
// records through a bare server. A waiter is woken once its count is reached, not at
// every step, which would count a wake-up of the waiting program per step in the
// processor time of what it measures.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

using Clock = std::chrono::steady_clock;

class Tally {
 public:
  void add();
  long count();
  // False when the count was not reached in time.
  bool waitFor(long count, Clock::time_point until);

 private:
  std::mutex mutex_;
  std::condition_variable reached_;
  long count_ = 0;
  long awaited_ = 0;
};

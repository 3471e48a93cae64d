// A consumer parked at the DCH server for the rows of one application and group,
// taking them as they come on a thread of its own, and counting them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class DCHclient;

using Clock = std::chrono::steady_clock;

class RowCounter {
 public:
  RowCounter(const char* applName, const char* group);
  ~RowCounter();
  RowCounter(const RowCounter&) = delete;
  RowCounter& operator=(const RowCounter&) = delete;

  bool parked() const { return handle_ != nullptr; }
  long count();
  // False when the count was not reached in time.
  bool waitFor(long count, Clock::time_point until);

 private:
  void take();

  DCHclient* handle_;
  std::mutex mutex_;
  std::condition_variable changed_;
  long rows_ = 0;
  // The count a waiter waits for: reached, it is woken (not at every row, which would
  // count a wake-up of this program per row in the road's processor time).
  long awaited_ = 0;
  std::thread thread_;
};

#include "row_counter.h"

#include "dch/dch_api.h"

RowCounter::RowCounter(const char* applName, const char* group) : handle_(dc_waitOnDataInitialize(applName, group)) {
  if (handle_ != nullptr) thread_ = std::thread([this] { take(); });
}

RowCounter::~RowCounter() {
  if (handle_ == nullptr) return;
  dc_waitOnDataCancel(handle_);
  thread_.join();
  dc_waitOnDataDestroy(handle_);
}

long RowCounter::count() {
  std::lock_guard<std::mutex> lock(mutex_);
  return rows_;
}

bool RowCounter::waitFor(long count, Clock::time_point until) {
  std::unique_lock<std::mutex> lock(mutex_);
  awaited_ = count;
  bool reached = changed_.wait_until(lock, until, [&] { return rows_ >= count; });
  awaited_ = 0;
  return reached;
}

void RowCounter::take() {
  char buffer[8192];
  while (dc_waitOnData(handle_, buffer, sizeof buffer) == 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (++rows_ >= awaited_ && awaited_ > 0) changed_.notify_all();
  }
}

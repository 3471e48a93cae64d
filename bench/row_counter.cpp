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

void RowCounter::take() {
  char buffer[8192];
  while (dc_waitOnData(handle_, buffer, sizeof buffer) == 0) rows_.add();
}

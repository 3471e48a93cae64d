// A consumer parked at the DCH server for the rows of one application and group,
// taking them as they come on a thread of its own, and counting them.
#pragma once

#include <thread>

#include "tally.h"

class DCHclient;

class RowCounter {
 public:
  RowCounter(const char* applName, const char* group);
  ~RowCounter();
  RowCounter(const RowCounter&) = delete;
  RowCounter& operator=(const RowCounter&) = delete;

  bool parked() const { return handle_ != nullptr; }
  long count() { return rows_.count(); }
  // False when the count was not reached in time.
  bool waitFor(long count, Clock::time_point until) { return rows_.waitFor(count, until); }
  Tally& tally() { return rows_; }

 private:
  void take();

  DCHclient* handle_;
  Tally rows_;
  std::thread thread_;
};

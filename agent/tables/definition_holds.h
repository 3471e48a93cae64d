// Holds on an application's definition (userDataList) by readers outside its probe, such
// as a sample of the remote-file table: the probe deletes the definition only once every
// hold on it is released. The probe record and the probe thread share the count through
// their signals, so a hold taken before the record goes still counts after it.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

class probeSignals;
class userDataList;

class definitionHolds {
 public:
  void take();
  void release();
  // Returns once no hold is left.
  void waitUntilReleased();

 private:
  std::mutex lock_;
  std::condition_variable released_;
  int holds_ = 0;
};

// One hold, released when it goes. Empty (null) when no definition was found.
class userDataListHold {
 public:
  userDataListHold() = default;
  // Takes a hold through the signals.
  userDataListHold(userDataList* list, std::shared_ptr<probeSignals> signals);
  ~userDataListHold();
  userDataListHold(userDataListHold&& other) noexcept;
  userDataListHold& operator=(userDataListHold&& other) noexcept;
  userDataListHold(const userDataListHold&) = delete;
  userDataListHold& operator=(const userDataListHold&) = delete;

  userDataList* get() const { return list_; }

 private:
  userDataList* list_ = nullptr;
  std::shared_ptr<probeSignals> signals_;
};

#include "definition_holds.h"

#include <utility>

#include "probe_signals.h"

void definitionHolds::take() {
  std::lock_guard<std::mutex> guard(lock_);
  ++holds_;
}

void definitionHolds::release() {
  std::lock_guard<std::mutex> guard(lock_);
  if (--holds_ == 0) released_.notify_all();
}

void definitionHolds::waitUntilReleased() {
  std::unique_lock<std::mutex> guard(lock_);
  released_.wait(guard, [this] { return holds_ == 0; });
}

userDataListHold::userDataListHold(userDataList* list, std::shared_ptr<probeSignals> signals)
    : list_(list), signals_(std::move(signals)) {
  signals_->holds().take();
}

userDataListHold::~userDataListHold() {
  if (signals_ != nullptr) signals_->holds().release();
}

userDataListHold::userDataListHold(userDataListHold&& other) noexcept
    : list_(other.list_), signals_(std::move(other.signals_)) {
  other.list_ = nullptr;
}

userDataListHold& userDataListHold::operator=(userDataListHold&& other) noexcept {
  if (this != &other) {
    if (signals_ != nullptr) signals_->holds().release();
    list_ = other.list_;
    signals_ = std::move(other.signals_);
    other.list_ = nullptr;
  }
  return *this;
}

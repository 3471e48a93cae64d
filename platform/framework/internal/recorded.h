// What the system handed the management side, kept for the test driver to take
// (internal to the framework).
#pragma once

#include <mutex>
#include <utility>
#include <vector>

namespace raf {

template <typename Entry>
class Recorded {
 public:
  void add(Entry entry) {
    std::lock_guard<std::mutex> guard(lock_);
    entries_.push_back(std::move(entry));
  }
  // The entries added since the last take, oldest first; clears them.
  std::vector<Entry> take() {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<Entry> taken;
    taken.swap(entries_);
    return taken;
  }

 private:
  std::mutex lock_;
  std::vector<Entry> entries_;
};

}  // namespace raf

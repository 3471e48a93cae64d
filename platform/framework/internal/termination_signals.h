// How the framework's main loop learns that the process is told to end (internal to
// the framework): SIGTERM or SIGINT.
#pragma once

#include <signal.h>

#include <functional>
#include <thread>

namespace raf {

// While it lives, SIGTERM and SIGINT each call onSignal on a thread of the watch (never
// in the signal handler, which only writes a byte to a pipe). When it goes, the signals
// are handled again as they were before. One watch at a time.
class TerminationSignals {
 public:
  explicit TerminationSignals(std::function<void()> onSignal);
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  void watch();

  std::function<void()> onSignal_;
  int pipe_[2] = {-1, -1};
  struct sigaction previousTerm_ {};
  struct sigaction previousInt_ {};
  bool installed_ = false;
  std::thread watcher_;
};

}  // namespace raf

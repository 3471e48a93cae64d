// How the framework's main loop learns that the process is told to end (internal to
// the framework): SIGTERM or SIGINT.
#pragma once

#include <signal.h>

namespace raf {

// While it lives, SIGTERM and SIGINT only write a byte to a pipe, whose read end the
// main loop watches. When it goes, the signals are handled again as they were before.
// One at a time.
class TerminationSignals {
 public:
  TerminationSignals();
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // The end to watch for reading; -1 when no pipe could be made (the signals then end
  // the process as before).
  int readEnd() const { return pipe_[0]; }
  // The number of the signal that came since the last look, 0 for none.
  int take();

 private:
  int pipe_[2] = {-1, -1};
  struct sigaction previousTerm_ {};
  struct sigaction previousInt_ {};
  bool installed_ = false;
};

}  // namespace raf

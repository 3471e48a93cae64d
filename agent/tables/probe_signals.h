// The two handshakes between the status monitor and the probe of one application:
// "definition built" (the probe signals, the monitor waits a limited time) and "exit"
// (the monitor signals when the application's last source has gone, the probe waits).
//
// Each handshake keeps its outcome in a flag under its lock, so a wake-up that is not a
// signal decides nothing and a signal that comes before the wait is not lost. The
// record of the probe list and the probe thread share the signals: they outlive the
// record while the probe still waits.
#pragma once

#include <pthread.h>

#include <ctime>

#include "definition_holds.h"

// One handshake: a flag that is set once, with the lock and condition of its waiters.
class signalledFlag {
 public:
  signalledFlag();
  ~signalledFlag();
  signalledFlag(const signalledFlag&) = delete;
  signalledFlag& operator=(const signalledFlag&) = delete;

  // Sets the flag and wakes the waiters. 0, or 1 when the lock failed.
  int set();
  // With the lock held (lock/unlock): waits until the flag is set or, with a deadline,
  // until that time has passed. 0 set; ETIMEDOUT; another error number on failure.
  int waitLocked(const timespec* deadline);
  bool isSetLocked() const { return set_; }
  int lock();
  int unlock();

 private:
  pthread_mutex_t lock_;
  pthread_cond_t cond_;
  bool set_ = false;
};

class probeSignals {
 public:
  // Marks the definition built and wakes the waiter. 0, or 1 when the lock failed.
  int signalBuilt(const char* applName);
  // Waits until the definition is built: a first ten-second wait, then up to
  // Max_Wait_UDL() more, 3 seconds apart. The deadlines come from the basic services'
  // clock. 0 built, 1 time-out or failure.
  int waitForBuilt(const char* applName);

  // Asks the probe to exit and wakes it. 0, or 1 when the lock failed.
  int signalExit(const char* applName);
  // Waits until the exit is asked for (at once when it was asked already). 0, or 1 on
  // failure.
  int WaitForExit(const char* applName);

  // The holds on the probe's definition; the probe waits for them before deleting it.
  definitionHolds& holds() { return holds_; }

 private:
  definitionHolds holds_;
  signalledFlag built_;
  signalledFlag exit_;
};

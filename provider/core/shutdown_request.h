// Requests to shut data providers down that arrive from outside their console:
// ZEVP_ImmediateDPshutdown for the main anchor, or one request that every data
// provider of the process ends. The console service, woken by either, ends the
// data provider as the console command SHUTDOWN does.
//
// A data provider's own threads end when shut-down tells them to (their termination
// flags). A thread that is not one of them, above all the start thread while it
// waits for the agent, learns of the end only from the request: its waits test
// ShutdownRequested and are woken through a ShutdownWake.
#pragma once

#include <pthread.h>

struct DPAB;
struct ProcessEntry;

namespace zevp {

// Asks every data provider of the process to end, as the console command SHUTDOWN
// ends one: those running now, and any that starts later. One still starting ends
// its start at its next step or wait, then shuts down. For a process that is ending.
void RequestShutdownOfEveryDP();

// Wakes the waiters below after an anchor's shut-down flag was set.
void NotifyShutdownFlagSet();

// True once the anchor's shut-down flag is set or every data provider was asked to end.
bool ShutdownRequested(const DPAB* anchor);

// While it lives, every shut-down request signals the waiter's condition under
// the waiter's mutex, so a wait on that entry that tests ShutdownRequested under
// the same mutex cannot sleep through a request. Made before the waiter's mutex is
// taken and gone after it is let go: a request holds the list of these while it
// takes each waiter's mutex.
class ShutdownWake {
 public:
  explicit ShutdownWake(ProcessEntry* waiter);
  // A waiter that is no process entry: its mutex and condition.
  ShutdownWake(pthread_mutex_t* mutex, pthread_cond_t* condition);
  ~ShutdownWake();
  ShutdownWake(const ShutdownWake&) = delete;
  ShutdownWake& operator=(const ShutdownWake&) = delete;

 private:
  friend void RequestShutdownOfEveryDP();
  friend void NotifyShutdownFlagSet();
  // Signals the waiter of every wait that lives; the caller holds the list's mutex.
  static void wakeEvery();

  pthread_mutex_t* mutex_;
  pthread_cond_t* condition_;
  ShutdownWake* next_ = nullptr;
};

}  // namespace zevp

// Basic services: environment, locks, thread ids, time and sleep.
#pragma once

#include <pthread.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

// The value of an environment variable, or null when it is not set. flags: 0.
const char* BSV1_GetEnv(const char* name, int flags);

// A lock that its owner may take again (the data-provider engine re-enters its own locks).
struct BSV1_Lock {
  pthread_mutex_t mutex;
};
// Each returns 0 on success, an errno value otherwise.
int BSV1_InitializeLock(BSV1_Lock* lock);
int BSV1_GetLock(BSV1_Lock* lock);
int BSV1_ReleaseLock(BSV1_Lock* lock);
// Ends a lock that no thread holds or waits for; it may be initialised again.
int BSV1_DestroyLock(BSV1_Lock* lock);

// A non-zero number that identifies the calling thread.
unsigned long BSV1_ThreadID();

struct BSV1_Time {
  int64_t seconds;
  int32_t nanoseconds;
};
// The real-time clock (or the clock a test installed).
void BSV1_GetTime(BSV1_Time* now);
void BSV1_Sleep(unsigned seconds);
// Sleeps like BSV1_Sleep, ended early when `done` holds as `woken` is notified; the
// caller holds `lock`, which guards what `done` reads. The value of `done` at the end.
bool BSV1_SleepUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& woken, unsigned seconds,
                     const std::function<bool()>& done);

namespace bsv1 {

// The seam through which tests drive time: whole-second waits become instant.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual BSV1_Time now() = 0;
  virtual void sleep(unsigned seconds) = 0;
};

// Installs a clock for the whole process; null restores the real one.
// Returns the clock that was in effect (null for the real one).
Clock* SetClock(Clock* clock);

}  // namespace bsv1

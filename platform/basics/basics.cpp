#include "bsv1.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdlib>

const char* BSV1_GetEnv(const char* name, int) { return name ? std::getenv(name) : nullptr; }

int BSV1_InitializeLock(BSV1_Lock* lock) {
  pthread_mutexattr_t attributes;
  int rc = pthread_mutexattr_init(&attributes);
  if (rc != 0) return rc;
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  rc = pthread_mutex_init(&lock->mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  return rc;
}

int BSV1_GetLock(BSV1_Lock* lock) { return pthread_mutex_lock(&lock->mutex); }

int BSV1_ReleaseLock(BSV1_Lock* lock) { return pthread_mutex_unlock(&lock->mutex); }

int BSV1_DestroyLock(BSV1_Lock* lock) { return pthread_mutex_destroy(&lock->mutex); }

namespace {

// A thread keeps its number while it runs: asked of the kernel once a thread. The child
// of a fork is the forking thread under a number of its own.
thread_local unsigned long OwnThreadID = 0;

void ForgetOwnThreadID() { OwnThreadID = 0; }

const bool ForkForgetsThreadID = [] { return pthread_atfork(nullptr, nullptr, ForgetOwnThreadID) == 0; }();

}  // namespace

unsigned long BSV1_ThreadID() {
  (void)ForkForgetsThreadID;
  if (OwnThreadID == 0) OwnThreadID = static_cast<unsigned long>(syscall(SYS_gettid));
  return OwnThreadID;
}

namespace {

std::atomic<bsv1::Clock*> installedClock{nullptr};

}  // namespace

void BSV1_GetTime(BSV1_Time* now) {
  if (bsv1::Clock* clock = installedClock.load()) {
    *now = clock->now();
    return;
  }
  struct timespec real;
  clock_gettime(CLOCK_REALTIME, &real);
  now->seconds = real.tv_sec;
  now->nanoseconds = static_cast<int32_t>(real.tv_nsec);
}

void BSV1_Sleep(unsigned seconds) {
  if (bsv1::Clock* clock = installedClock.load()) {
    clock->sleep(seconds);
    return;
  }
  struct timespec remaining = {static_cast<time_t>(seconds), 0};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

bool BSV1_SleepUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& woken, unsigned seconds,
                     const std::function<bool()>& done) {
  if (done()) return true;
  // An installed clock owns every wait: the test decides when the seconds have passed.
  if (installedClock.load() != nullptr) {
    lock.unlock();
    BSV1_Sleep(seconds);
    lock.lock();
    return done();
  }
  return woken.wait_for(lock, std::chrono::seconds(seconds), done);
}

namespace bsv1 {

Clock* SetClock(Clock* clock) { return installedClock.exchange(clock); }

}  // namespace bsv1

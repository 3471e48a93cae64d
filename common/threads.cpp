#include "zev0/threads.h"

#include <atomic>
#include <cerrno>
#include <ctime>

#include "trc1.h"

TRC_UNIT();

namespace {

std::atomic<zev0::ThreadStarter*> installedStarter{nullptr};

int StartThread(pthread_t* threadId, const pthread_attr_t* attributes, void* (*startRoutine)(void*),
                void* argument) {
  if (zev0::ThreadStarter* starter = installedStarter.load())
    return starter->start(threadId, attributes, startRoutine, argument);
  return pthread_create(threadId, attributes, startRoutine, argument);
}

}  // namespace

namespace zev0 {

ThreadStarter* SetThreadStarter(ThreadStarter* starter) { return installedStarter.exchange(starter); }

}  // namespace zev0

int ZEV0_CreateThread(void* (*startRoutine)(void*), void* argument, int detachState, pthread_t* threadId) {
  if (detachState != PTHREAD_CREATE_JOINABLE && detachState != PTHREAD_CREATE_DETACHED) {
    TRC(TRC_ERROR, "Error: Invalid detachState %d", detachState);
    errno = EINVAL;
    return -1;
  }
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, detachState);
  int rc = StartThread(threadId, &attributes, startRoutine, argument);
  pthread_attr_destroy(&attributes);
  if (rc != 0) {
    TRC(TRC_ERROR, "Error: thread not started: errno=%d", rc);
    errno = rc;  // pthread_create reports through its result, callers read errno
    return -1;
  }
  return 0;
}

void ZEV0_InitializeMutex(pthread_mutex_t* mutex) {
  pthread_mutexattr_t attributes;
  int rc = pthread_mutexattr_init(&attributes);
  if (rc != 0) TRC(TRC_ERROR, "***** pthread_mutexattr_init failed: rc=%d errno=%d", rc, errno);
  rc = pthread_mutex_init(mutex, &attributes);
  if (rc != 0) TRC(TRC_ERROR, "***** pthread_mutex_init failed: rc=%d errno=%d", rc, errno);
  rc = pthread_mutexattr_destroy(&attributes);
  if (rc != 0) TRC(TRC_ERROR, "***** pthread_mutexattr_destroy failed: rc=%d errno=%d", rc, errno);
}

void ZEV0_InitializeCondVar(pthread_cond_t* condition) {
  pthread_condattr_t attributes;
  pthread_condattr_init(&attributes);
  pthread_cond_init(condition, &attributes);
  pthread_condattr_destroy(&attributes);
}

int ZEV0_ConditionTimedWait(pthread_cond_t* condition, pthread_mutex_t* mutex, int seconds) {
  // The deadline is taken from the clock the condition measures against, not from a
  // clock a test may have installed in the basic services.
  struct timespec deadline;
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += seconds;
  int rc = pthread_cond_timedwait(condition, mutex, &deadline);
  if (rc != 0 && rc != ETIMEDOUT) TRC(TRC_UNIT_DETAIL, "conditional timed wait rc = %d, errno = %d", rc, errno);
  return rc;
}

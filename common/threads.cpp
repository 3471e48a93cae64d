#include "zev0/threads.h"

#include <cerrno>
#include <ctime>

#include "trc1.h"

TRC_UNIT();

int ZEV0_CreateThread(void* (*startRoutine)(void*), void* argument, int detachState, pthread_t* threadId) {
  if (detachState != PTHREAD_CREATE_JOINABLE && detachState != PTHREAD_CREATE_DETACHED) {
    TRC(TRC_ERROR, "Error: Invalid detachState %d", detachState);
    return -1;
  }
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, detachState);
  int rc = pthread_create(threadId, &attributes, startRoutine, argument);
  pthread_attr_destroy(&attributes);
  if (rc != 0) {
    TRC(TRC_ERROR, "Error: thread not started: errno=%d", rc);
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

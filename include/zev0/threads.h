// Threads, mutexes and condition variables, all made with the same attributes.
#pragma once

#include <pthread.h>

// detachState: PTHREAD_CREATE_JOINABLE or PTHREAD_CREATE_DETACHED.
// 0 when the thread runs (its id stored through threadId), -1 otherwise, with
// errno set to the reason (EINVAL for another detach state).
int ZEV0_CreateThread(void* (*startRoutine)(void*), void* argument, int detachState, pthread_t* threadId);

// A plain, non-recursive mutex.
void ZEV0_InitializeMutex(pthread_mutex_t* mutex);
void ZEV0_InitializeCondVar(pthread_cond_t* condition);

// Waits at most the given whole seconds; the caller holds the mutex.
// 0 when woken (also spuriously: callers re-test their predicate), ETIMEDOUT when the time ran out.
int ZEV0_ConditionTimedWait(pthread_cond_t* condition, pthread_mutex_t* mutex, int seconds);

namespace zev0 {

// The system's thread start, behind a seam so that a test can refuse new threads.
class ThreadStarter {
 public:
  virtual ~ThreadStarter() = default;
  // As pthread_create: 0 when the thread runs, else an errno value.
  virtual int start(pthread_t* threadId, const pthread_attr_t* attributes, void* (*startRoutine)(void*),
                    void* argument) = 0;
};

// Installs a starter for the whole process; null restores the system's.
// Returns the starter that was installed (null for the system's).
ThreadStarter* SetThreadStarter(ThreadStarter* starter);

}  // namespace zev0

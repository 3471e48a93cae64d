#include "shutdown_request.h"

#include <pthread.h>

#include <atomic>

#include "dp_anchor.h"
#include "process_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace {

pthread_mutex_t requestMutex = PTHREAD_MUTEX_INITIALIZER;
std::atomic<bool> everyDPrequested{false};  // set under requestMutex
zevp::ShutdownWake* wakes = nullptr;         // requestMutex; linked through the waits' own storage

}  // namespace

namespace zevp {

void RequestShutdownOfEveryDP() {
  pthread_mutex_lock(&requestMutex);
  everyDPrequested = true;
  TRC(TRC_DETAIL, "Shut-down of every data provider requested");
  ShutdownWake::wakeEvery();
  pthread_mutex_unlock(&requestMutex);
}

void NotifyShutdownFlagSet() {
  pthread_mutex_lock(&requestMutex);
  ShutdownWake::wakeEvery();
  pthread_mutex_unlock(&requestMutex);
}

bool ShutdownRequested(const DPAB* anchor) { return anchor->shutdownFlag != 0 || everyDPrequested; }

ShutdownWake::ShutdownWake(ProcessEntry* waiter) : ShutdownWake(&waiter->mutex, &waiter->condition) {}

ShutdownWake::ShutdownWake(pthread_mutex_t* mutex, pthread_cond_t* condition) : mutex_(mutex), condition_(condition) {
  pthread_mutex_lock(&requestMutex);
  next_ = wakes;
  wakes = this;
  pthread_mutex_unlock(&requestMutex);
}

void ShutdownWake::wakeEvery() {
  for (ShutdownWake* wake = wakes; wake != nullptr; wake = wake->next_) {
    pthread_mutex_lock(wake->mutex_);
    pthread_cond_broadcast(wake->condition_);
    pthread_mutex_unlock(wake->mutex_);
  }
}

ShutdownWake::~ShutdownWake() {
  pthread_mutex_lock(&requestMutex);
  for (ShutdownWake** link = &wakes; *link != nullptr; link = &(*link)->next_) {
    if (*link == this) {
      *link = next_;
      break;
    }
  }
  pthread_mutex_unlock(&requestMutex);
}

}  // namespace zevp

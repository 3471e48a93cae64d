#include "shutdown_request.h"

#include <pthread.h>

#include "dp_anchor.h"
#include "trc1.h"

TRC_UNIT();

namespace {

pthread_mutex_t requestMutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t requestCondition = PTHREAD_COND_INITIALIZER;
uint64_t requestCount = 0;  // requestMutex

}  // namespace

namespace zevp {

void RequestShutdownOfEveryDP() {
  pthread_mutex_lock(&requestMutex);
  ++requestCount;
  TRC(TRC_DETAIL, "Shut-down of every data provider requested (%llu)", static_cast<unsigned long long>(requestCount));
  pthread_cond_broadcast(&requestCondition);
  pthread_mutex_unlock(&requestMutex);
}

uint64_t ShutdownRequestCount() {
  pthread_mutex_lock(&requestMutex);
  uint64_t count = requestCount;
  pthread_mutex_unlock(&requestMutex);
  return count;
}

void NotifyShutdownFlagSet() {
  pthread_mutex_lock(&requestMutex);
  pthread_cond_broadcast(&requestCondition);
  pthread_mutex_unlock(&requestMutex);
}

void WaitForShutdownRequest(DPAB* anchor, uint64_t requestsSeen) {
  pthread_mutex_lock(&requestMutex);
  while (anchor->shutdownFlag == 0 && requestCount == requestsSeen)
    pthread_cond_wait(&requestCondition, &requestMutex);
  pthread_mutex_unlock(&requestMutex);
}

}  // namespace zevp

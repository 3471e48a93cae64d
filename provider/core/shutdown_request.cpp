#include "shutdown_request.h"

#include <pthread.h>

#include "dp_anchor.h"
#include "trc1.h"

TRC_UNIT();

namespace {

pthread_mutex_t requestMutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t requestCondition = PTHREAD_COND_INITIALIZER;
bool everyDPrequested = false;  // requestMutex

}  // namespace

namespace zevp {

void RequestShutdownOfEveryDP() {
  pthread_mutex_lock(&requestMutex);
  everyDPrequested = true;
  TRC(TRC_DETAIL, "Shut-down of every data provider requested");
  pthread_cond_broadcast(&requestCondition);
  pthread_mutex_unlock(&requestMutex);
}

void NotifyShutdownFlagSet() {
  pthread_mutex_lock(&requestMutex);
  pthread_cond_broadcast(&requestCondition);
  pthread_mutex_unlock(&requestMutex);
}

void WaitForShutdownRequest(DPAB* anchor) {
  pthread_mutex_lock(&requestMutex);
  while (anchor->shutdownFlag == 0 && !everyDPrequested) pthread_cond_wait(&requestCondition, &requestMutex);
  pthread_mutex_unlock(&requestMutex);
}

}  // namespace zevp

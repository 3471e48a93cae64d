#include "probe_signals.h"

#include <cerrno>

#include "agent_limits.h"
#include "bsv1.h"
#include "dch/channel_functions.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr int kBuiltWaitSeconds = 10;
constexpr unsigned kBetweenBuiltWaitsSeconds = 3;

// A deadline the condition measures against, taken from the basic services' clock: a
// test's clock puts it in the past, so no test waits it out.
timespec deadlineIn(int seconds) {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return timespec{static_cast<time_t>(now.seconds + seconds), static_cast<long>(now.nanoseconds)};
}

}  // namespace

signalledFlag::signalledFlag() {
  ZEV0_InitializeMutex(&lock_);
  ZEV0_InitializeCondVar(&cond_);
}

signalledFlag::~signalledFlag() {
  pthread_cond_destroy(&cond_);
  pthread_mutex_destroy(&lock_);
}

int signalledFlag::lock() { return ZEVA_GetLock(&lock_, this); }

int signalledFlag::unlock() { return ZEVA_ReleaseLock(&lock_, this); }

int signalledFlag::set() {
  if (lock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    return 1;
  }
  set_ = true;
  int rc = pthread_cond_broadcast(&cond_);
  if (rc != 0) TRC(TRC_ERROR, "Error: pthread_cond_signal failed:errno=%d", rc);
  return unlock() == 0 ? 0 : 1;
}

// A wake-up decides nothing: the flag does.
int signalledFlag::waitLocked(const timespec* deadline) {
  while (!set_) {
    int rc = deadline != nullptr ? pthread_cond_timedwait(&cond_, &lock_, deadline) : pthread_cond_wait(&cond_, &lock_);
    if (rc != 0 && !set_) return rc;
  }
  return 0;
}

int probeSignals::signalBuilt(const char* applName) {
  TRC(TRC_DETAIL, "Signaling for userDataList[%s] constructor initialization.", applName);
  return built_.set();
}

int probeSignals::waitForBuilt(const char* applName) {
  if (built_.lock() != 0) return 1;
  int result = 0;
  if (!built_.isSetLocked()) TRC(TRC_DETAIL, "Waiting for userDataInfo constructor<%s>", applName);
  for (int waitAttempts = 0;; ++waitAttempts) {
    timespec deadline = deadlineIn(kBuiltWaitSeconds);
    int rc = built_.waitLocked(&deadline);
    if (rc == 0) {
      TRC(TRC_DETAIL, "UDL<%s> completion signal received.", applName);
      break;
    }
    if (rc != ETIMEDOUT || waitAttempts >= Max_Wait_UDL()) {
      TRC(TRC_ERROR, "Error: pthread_cond_wait failed. rc=%d errno=%d waitAttempts=%d", rc, errno, waitAttempts);
      result = 1;
      break;
    }
    TRC(TRC_ERROR, "Warning: pthread_cond_wait timeout - errno=%d waitAttempts=%d", rc, waitAttempts);
    built_.unlock();
    BSV1_Sleep(kBetweenBuiltWaitsSeconds);
    if (built_.lock() != 0) {
      TRC(TRC_ERROR, "Error: unable to re-acquire lock");
      return 1;
    }
  }
  if (built_.unlock() != 0) result = 1;
  return result;
}

int probeSignals::signalExit(const char* applName) {
  TRC(TRC_DETAIL, "Signaling to exit startNewProbe for applName <%s>", applName);
  return exit_.set();
}

int probeSignals::WaitForExit(const char* applName) {
  if (exit_.lock() != 0) return 1;
  TRC(TRC_DETAIL, "<@%p> Waiting for exit signal applName<%s>", static_cast<void*>(this), applName);
  int rc = exit_.waitLocked(nullptr);
  if (rc == 0)
    TRC(TRC_DETAIL, "Exit signal received for applName <%s>", applName);
  else
    TRC(TRC_ERROR, "Error: <@%p> pthread_cond_wait failed. applName<%s> rc=%d errno=%d", static_cast<void*>(this),
        applName, rc, errno);
  exit_.unlock();
  return rc == 0 ? 0 : 1;
}

#include "action_ring.h"

#include <cerrno>
#include <new>

#include "dch/channel_functions.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

actionRing::actionRing() {
  ZEV0_InitializeMutex(&buf_lock);
  ZEV0_InitializeCondVar(&notempty);
  ZEV0_InitializeCondVar(&readerGone);
}

actionRing::~actionRing() {
  pthread_cond_destroy(&readerGone);
  pthread_cond_destroy(&notempty);
  pthread_mutex_destroy(&buf_lock);
  for (ActionInfo_t* slot : data) delete slot;
}

bool actionRing::lock() {
  if (ZEVA_GetLock(&buf_lock, this) == 0) return true;
  TRC(TRC_ERROR, "Error: failed to acquire actionInfo->buf_lock");
  return false;
}

void actionRing::unlock() { ZEVA_ReleaseLock(&buf_lock, this); }

// Slot records are made on first use and reused after.
bool actionRing::storeRecord(const ActionInfo_t& record) {
  int slot = (start_idx + num_full) % kSlots;
  if (data[slot] == nullptr) {
    data[slot] = new (std::nothrow) ActionInfo_t;
    if (data[slot] == nullptr) {
      TRC(TRC_ERROR, "Error: allocating %d bytes.", static_cast<int>(sizeof(ActionInfo_t)));
      return false;
    }
  }
  *data[slot] = record;
  ++num_full;
  return true;
}

ActionRingPut actionRing::put(const ActionInfo_t& record) {
  if (!lock()) return ActionRingPut::failed;
  ActionRingPut result = ActionRingPut::dropped;
  if (!readerRunning || closed) {
    TRC(TRC_DETAIL, "No action-log thread: action record <%ld> requestType <%d> not logged.", record.actionID,
        record.requestType);
  } else if (writersHeld || num_full == kMaxWaiting) {
    writersHeld = true;
    TRC(TRC_ERROR, "Error: action buffers full: action record <%ld> requestType <%d> dropped.", record.actionID,
        record.requestType);
  } else if (storeRecord(record)) {
    result = ActionRingPut::stored;
    pthread_cond_signal(&notempty);
  } else {
    result = ActionRingPut::failed;
  }
  unlock();
  return result;
}

int actionRing::get(ActionInfo_t* record) {
  if (!lock()) return 1;
  int rc = 0;
  while (rc == 0 && num_full == 0 && !closed) rc = pthread_cond_wait(&notempty, &buf_lock);
  if (rc != 0) TRC(TRC_ERROR, "Error: pthread_cond_wait failed. rc=%d errno=%d", rc, errno);
  bool taken = rc == 0 && !closed;
  if (taken) {
    *record = *data[start_idx];
    start_idx = (start_idx + 1) % kSlots;
    --num_full;
    if (num_full <= kReopenAt)
      writersHeld = false;
    else
      TRC(TRC_DETAIL, "Not signalling waiting writer(s), more than half of the action buffers are in use.");
  }
  unlock();
  return taken ? 0 : 1;
}

void actionRing::readerStarted() {
  if (!lock()) return;
  readerRunning = true;
  unlock();
}

void actionRing::readerStopped() {
  if (!lock()) return;
  readerRunning = false;
  pthread_cond_broadcast(&readerGone);
  unlock();
}

void actionRing::close() {
  if (!lock()) return;
  closed = true;
  pthread_cond_broadcast(&notempty);
  while (readerRunning) pthread_cond_wait(&readerGone, &buf_lock);
  unlock();
}

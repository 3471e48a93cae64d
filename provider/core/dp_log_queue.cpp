// Sending a data-provider log message: a copy of it on the anchor's log queue, for
// the log server; in batch mode its delivery at once.
#include <atomic>
#include <cstring>

#include "dp_anchor.h"
#include "dp_log.h"
#include "process_entry.h"
#include "trc1.h"
#include "zev/prodspec_items.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace {

std::atomic<DPAB*> processLogAnchor{nullptr};

// The queue head is also read, without the queue lock, by the log server as the
// predicate of its wait (under its own mutex): it is read and written atomically.
DPlogWorkEntry* head(DPAB* anchor) { return __atomic_load_n(&anchor->logQueueFirst, __ATOMIC_ACQUIRE); }
void setHead(DPAB* anchor, DPlogWorkEntry* entry) { __atomic_store_n(&anchor->logQueueFirst, entry, __ATOMIC_RELEASE); }

DPlogWorkEntry* newWorkEntry(int32_t number, const char* const inserts[ZEVP_DP_LOG_INSERTS]) {
  size_t size = sizeof(DPlogWorkEntry);
  for (int i = 0; i < ZEVP_DP_LOG_INSERTS; ++i)
    if (inserts[i] != nullptr) size += std::strlen(inserts[i]) + 1;
  auto* entry = static_cast<DPlogWorkEntry*>(ZEV0_GetStorage(size));
  if (entry == nullptr) return nullptr;
  std::memset(entry, 0, size);
  entry->number = number;
  char* copy = reinterpret_cast<char*>(entry + 1);
  for (int i = 0; i < ZEVP_DP_LOG_INSERTS; ++i) {
    if (inserts[i] == nullptr) continue;
    size_t length = std::strlen(inserts[i]);
    std::memcpy(copy, inserts[i], length + 1);
    entry->inserts[i] = copy;
    copy += length + 1;
  }
  ZEV0_GetPlovenTime(entry->timeStamp);
  return entry;
}

}  // namespace

namespace zevp {

DPAB* DPlogAnchor() { return processLogAnchor.load(); }

void SetDPlogAnchor(DPAB* anchor) {
  DPAB* none = nullptr;
  if (anchor != nullptr) processLogAnchor.compare_exchange_strong(none, anchor);
}

void ForgetDPlogAnchor(DPAB* anchor) {
  DPAB* expected = anchor;
  processLogAnchor.compare_exchange_strong(expected, nullptr);
}

}  // namespace zevp

bool ZEVP_DPlogEnabled() {
  const char* value = ZEV0_QueryProductSpec(ZEV2_ENABLE_DPLOG);
  return value != nullptr && (value[0] == 'Y' || value[0] == 'y');
}

void ZEVP_SendDPlogMessage(DPAB* anchor, int32_t number, const char* p1, const char* p2, const char* p3,
                           const char* p4, const char* p5) {
  if (ZEVP_DPlogTemplate(number) == nullptr) {
    TRC(TRC_ERROR, "*****Invalid DP log message number %d, message discarded", number);
    return;
  }
  zevp::SetDPlogAnchor(anchor);
  DPAB* target = anchor != nullptr ? anchor : zevp::DPlogAnchor();
  const char* const inserts[ZEVP_DP_LOG_INSERTS] = {p1, p2, p3, p4, p5};
  if (target != nullptr && target->batchMode != 0) {
    ZEVP_DispatchDPlogMessage(target, number, inserts, nullptr);
    return;
  }
  if (!ZEVP_DPlogEnabled()) return;
  DPlogWorkEntry* entry = newWorkEntry(number, inserts);
  if (entry == nullptr) {
    TRC(TRC_ERROR, "*****No storage for DP log WorkEntry, log message discarded");
    return;
  }
  if (target == nullptr) {
    TRC(TRC_ERROR, "DP Log message not processed. Addressability not yet established");
    ZEV0_FreeStorage(&entry);
    return;
  }
  ZEVP_EnqueueDPlogRequest(target, entry);
}

// The server is signalled under its mutex, so that it cannot miss an entry between
// its look at the queue and its wait; and under the queue lock, under which it
// leaves the anchor before its entry goes.
void ZEVP_EnqueueDPlogRequest(DPAB* anchor, DPlogWorkEntry* entry) {
  entry->next = nullptr;
  BSV1_GetLock(&anchor->logQueueLock);
  if (anchor->logQueueLast != nullptr)
    anchor->logQueueLast->next = entry;
  else
    setHead(anchor, entry);
  anchor->logQueueLast = entry;
  if (ProcessEntry* server = anchor->logServerEntry) {
    pthread_mutex_lock(&server->mutex);
    pthread_cond_signal(&server->condition);
    pthread_mutex_unlock(&server->mutex);
  }
  BSV1_ReleaseLock(&anchor->logQueueLock);
}

DPlogWorkEntry* ZEVP_GetNextDPlogRequest(DPAB* anchor) {
  BSV1_GetLock(&anchor->logQueueLock);
  DPlogWorkEntry* entry = head(anchor);
  if (entry != nullptr) {
    setHead(anchor, entry->next);
    if (entry->next == nullptr) anchor->logQueueLast = nullptr;
    entry->next = nullptr;
  }
  BSV1_ReleaseLock(&anchor->logQueueLock);
  return entry;
}

namespace zevp {

bool DPlogQueued(DPAB* anchor) { return head(anchor) != nullptr; }

void DiscardDPlogQueue(DPAB* anchor) {
  while (DPlogWorkEntry* entry = ZEVP_GetNextDPlogRequest(anchor)) ZEV0_FreeStorage(&entry);
}

}  // namespace zevp

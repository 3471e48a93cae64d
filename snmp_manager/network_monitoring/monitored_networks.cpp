// The list of monitored networks: the server adds and removes records, workers
// remove their own; every change and walk is made under one mutex.
#include <arpa/inet.h>

#include "network_manage_entry.h"
#include "network_monitor.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// Recursive: the server holds it across a look-up and the change it makes, so
// that a worker cannot free a record between the two.
pthread_mutex_t listLock = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
NetworkManageEntry* pNME = nullptr;      // listLock
NetworkManageEntry* pLastNME = nullptr;  // listLock

}  // namespace

namespace zevs {

pthread_mutex_t* MonitoredNetworksLock() { return &listLock; }
NetworkManageEntry* FirstMonitoredNetwork() { return pNME; }

}  // namespace zevs

NetworkManageEntry* ZEVS_LocateExistingNME(const NetworkManageEntry* request) {
  pthread_mutex_lock(&listLock);
  NetworkManageEntry* entry = pNME;
  while (entry != nullptr && entry->NetworkAddress != request->NetworkAddress) entry = entry->next;
  pthread_mutex_unlock(&listLock);
  return entry;
}

void ZEVS_AddNetworkManageEntryToQueue(NetworkManageEntry* request) {
  request->next = nullptr;
  request->NetworkEntry = nullptr;
  request->NextDueTime = 0;
  pthread_mutex_lock(&listLock);
  if (pLastNME == nullptr) {
    pNME = request;
  } else {
    pLastNME->next = request;
  }
  pLastNME = request;
  pthread_mutex_unlock(&listLock);
}

void ZEVS_RemoveNetworkManageEntryFromQueue(NetworkManageEntry* entry) {
  pthread_mutex_lock(&listLock);
  if (pNME == nullptr) {
    TRC(TRC_DETAIL, "No active NME on queue. Remove request for NME @%p not processed", static_cast<void*>(entry));
  } else if (pNME == entry) {
    pNME = entry->next;
    if (pLastNME == entry) pLastNME = nullptr;
    TRC(TRC_DETAIL, "NME @%p removed from top of queue", static_cast<void*>(entry));
  } else {
    NetworkManageEntry* before = pNME;
    while (before->next != nullptr && before->next != entry) before = before->next;
    if (before->next == entry) {
      before->next = entry->next;
      if (pLastNME == entry) {
        pLastNME = before;
        TRC(TRC_DETAIL, "NME @%p removed from end of queue", static_cast<void*>(entry));
      } else {
        TRC(TRC_DETAIL, "NME @%p removed from queue", static_cast<void*>(entry));
      }
    }
  }
  entry->next = nullptr;
  pthread_mutex_unlock(&listLock);
}

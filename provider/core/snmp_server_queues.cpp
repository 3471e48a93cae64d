// The SNMP data provider's servers take requests on their process entries' queues.
#include "dp_anchor.h"
#include "managed_node_list.h"
#include "network_manage_entry.h"
#include "process_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// Appends the record (linked through `link`) to the server's queue and wakes the server.
template <typename Record>
void enqueue(ProcessEntry* server, Record* record, Record* Record::*link) {
  record->*link = nullptr;
  BSV1_GetLock(&server->workQueueLock);
  auto* last = static_cast<Record*>(server->requestQueue);
  if (last == nullptr) {
    server->requestQueue = record;
  } else {
    while (last->*link != nullptr) last = last->*link;
    last->*link = record;
  }
  BSV1_ReleaseLock(&server->workQueueLock);
  pthread_mutex_lock(&server->mutex);
  pthread_cond_signal(&server->condition);
  pthread_mutex_unlock(&server->mutex);
}

}  // namespace

int ZEVP_EnqueueNetManageToServer(DPAB* anchor, NetworkManageEntry* request) {
  if (request == nullptr) return 0;
  ProcessEntry* server = anchor->networkManagementEntry;
  if (server == nullptr) {
    TRC(TRC_ERROR, "Network Monitoring Server is inactive. Request not performed.");
    return 0;
  }
  request->Anchor = anchor;
  enqueue(server, request, &NetworkManageEntry::nextRequest);
  return 1;
}

int ZEVP_EnqueueManagedNodeListToServer(DPAB* anchor, ManagedNodeListEntry* list) {
  if (list == nullptr) return 0;
  ProcessEntry* server = anchor->managedNodeListEntry;
  if (server == nullptr) {
    TRC(TRC_ERROR, "Managed Node List Server is inactive. Request not performed.");
    return 0;
  }
  enqueue(server, list, &ManagedNodeListEntry::NextInServerQueue);
  TRC(TRC_DETAIL, ">>>Managed Node List request enqueued to Server");
  return 1;
}

// The network monitoring server, on the SNMP manager task's thread: it takes the
// queued requests to start, stop or exclude the monitoring of a network, keeps the
// monitored networks, each with a source of the NETWORK table, and hands every due
// network to an idle worker.

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "dp_anchor.h"
#include "network_configuration_block.h"
#include "network_manage_entry.h"
#include "network_masks.h"
#include "network_monitor.h"
#include "network_monitor_seams.h"
#include "network_state.h"
#include "network_sources.h"
#include "process_entry.h"
#include "trc1.h"
#include "zev/prodspec_items.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zev0/threads.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

constexpr int kServerWaitSeconds = 60;

bool ProductItemOn(int32_t item) {
  const char* value = ZEV0_QueryProductSpec(item);
  return value != nullptr && (value[0] == 'Y' || value[0] == 'y');
}

void FreeRequest(NetworkManageEntry*& request) { ZEV0_FreeStorage(&request); }

struct Server {
  Server(NetworkConfigurationBlock* block, DPAB* anchor, ProcessEntry* entry)
      : block(block), anchor(anchor), entry(entry) {}

  NetworkConfigurationBlock* block;
  DPAB* anchor;
  ProcessEntry* entry;
  NetworkMonitorTaskBlock* workers = nullptr;
  int changes = 0;
  // What waits for the DCH is done once the list's mutex is released: records
  // unlinked to be retired, and a record just started that needs its source.
  std::vector<NetworkManageEntry*> toRetire;
  NetworkManageEntry* needsSource = nullptr;

  void SendSummary(NetworkEntry* network) { zevs::MonitorSeams().updateNetworkInfoToDCH(block, network); }

  // Takes the sources of the unlinked records offline, sends their networks' rows
  // and frees them.
  void RetireUnlinked(const char* trace) {
    for (NetworkManageEntry* record : toRetire) {
      TRC(TRC_DETAIL, trace, zevs::DottedAddress(record->NetworkAddress).c_str());
      zevs::TakeNetworkSourceOffline(anchor, entry, record->Source);
      SendSummary(static_cast<NetworkEntry*>(record->NetworkEntry));
      ZEV0_FreeStorage(&record);
    }
    toRetire.clear();
  }

  void Start(NetworkManageEntry* request, NetworkManageEntry* monitored) {
    if (monitored != nullptr) {
      if (monitored->PollInterval > request->PollInterval) {
        TRC(TRC_DETAIL, "Monitoring interval changed from %d to %d", monitored->PollInterval, request->PollInterval);
        monitored->PollInterval = request->PollInterval;
      }
      TRC(TRC_DETAIL, ">>>>>Network %s already being monitored", zevs::DottedAddress(request->NetworkAddress).c_str());
      FreeRequest(request);
      return;
    }
    zevs::NetworkMonitorSeams& seams = zevs::MonitorSeams();
    NetworkEntry* network = nullptr;
    if (seams.isKnownNetwork(request->NetworkAddress, &network) == 0 || network == nullptr) {
      network = seams.updateNetworkListEntry(&request->NetworkAddress, 0, 0);
    }
    if (network == nullptr) {
      TRC(TRC_ERROR, "*****Network %s cannot be entered, start ignored",
          zevs::DottedAddress(request->NetworkAddress).c_str());
      FreeRequest(request);
      return;
    }
    ZEVS_AddNetworkManageEntryToQueue(request);
    request->NetworkEntry = network;
    needsSource = request;  // no worker has it before the dispatch of this thread
  }

  void Exclude(NetworkManageEntry* request, NetworkManageEntry* monitored) {
    std::string dotted = zevs::DottedAddress(request->NetworkAddress);
    if (monitored != nullptr) {
      TRC(TRC_DETAIL, ">>>>>Network %s is already being managed, issue Manage Stop to exclude from network management",
          dotted.c_str());
      auto* network = static_cast<NetworkEntry*>(monitored->NetworkEntry);
      if (request->PollInterval != 0) {
        zevs::SetNetworkState(network, ZEVS_NETWORK_EXCLUDED);
        Stop(request, monitored);
        return;
      }
      if (zevs::NetworkState(network) == ZEVS_NETWORK_EXCLUDED || zevs::NetworkState(network) == ZEVS_NETWORK_EXCLUDED_BY_SUBNET) {
        zevs::SetNetworkState(network, ZEVS_NETWORK_MANAGED);
        SendSummary(network);
        zevs::MonitorSeams().writeNetConfigToExt(block);
      }
      FreeRequest(request);
      return;
    }
    NetworkEntry* network = zevs::MonitorSeams().locateKnownNetwork(&request->NetworkAddress);
    if (network == nullptr) {
      TRC(TRC_DETAIL, "Network %s not found. Exclude ignored", dotted.c_str());
    } else {
      if (request->PollInterval != 0) {
        zevs::SetNetworkState(network, ZEVS_NETWORK_EXCLUDED);
        TRC(TRC_DETAIL, "Network %s exclude set", dotted.c_str());
      } else if (zevs::NetworkState(network) == ZEVS_NETWORK_EXCLUDED) {
        zevs::SetNetworkState(network, ZEVS_NETWORK_NOT_MANAGED);
        TRC(TRC_DETAIL, "Network %s exclude reset", dotted.c_str());
      }
      SendSummary(network);
      zevs::MonitorSeams().writeNetConfigToExt(block);
    }
    FreeRequest(request);
  }

  void Stop(NetworkManageEntry* request, NetworkManageEntry* monitored) {
    std::string dotted = zevs::DottedAddress(request->NetworkAddress);
    if (monitored == nullptr) {
      TRC(TRC_DETAIL, ">>>>>Network %s not being monitored, stop request ignored", dotted.c_str());
      FreeRequest(request);
      return;
    }
    TRC(TRC_DETAIL, "Manage Stop issued for Network %s", dotted.c_str());
    auto* network = static_cast<NetworkEntry*>(monitored->NetworkEntry);
    if (zevs::NetworkState(network) == ZEVS_NETWORK_MANAGED) {
      zevs::SetNetworkState(network, ZEVS_NETWORK_NOT_MANAGED);
      ++changes;
    }
    ZEVS_RemoveNetworkManageEntryFromQueue(monitored);
    // A record at a worker is freed by the worker at the end of its cycle.
    if (monitored->ManageAction != ZEVS_MANAGE_AT_WORKER) toRetire.push_back(monitored);
    TRC(TRC_DETAIL, "Network monitoring deactivated for %s", dotted.c_str());
    FreeRequest(request);
  }

  void Process(NetworkManageEntry* request) {
    TRC(TRC_DETAIL, ">>>>>Process network management request for %s type %d poll %d",
        zevs::DottedAddress(request->NetworkAddress).c_str(), request->ManageAction, request->PollInterval);
    // The look-up and the change are one hold of the list's mutex: a worker may
    // free its record at the end of a cycle.
    pthread_mutex_lock(zevs::MonitoredNetworksLock());
    NetworkManageEntry* monitored = ZEVS_LocateExistingNME(request);
    switch (request->ManageAction) {
      case ZEVP_MANAGE_START:
        Start(request, monitored);
        break;
      case ZEVP_MANAGE_EXCLUDE:
        Exclude(request, monitored);
        break;
      case ZEVP_MANAGE_STOP:
        Stop(request, monitored);
        break;
      default:
        TRC(TRC_ERROR, ">>>>>unsupported network management action type %d", request->ManageAction);
        FreeRequest(request);
    }
    pthread_mutex_unlock(zevs::MonitoredNetworksLock());
    RetireUnlinked("Do dp_offline for network %s");
    if (needsSource != nullptr) {
      needsSource->Source =
          zevs::LocateNetworkSource(anchor, static_cast<NetworkEntry*>(needsSource->NetworkEntry), needsSource->NetworkAddress);
      TRC(TRC_DETAIL, "Network monitoring active for %s", zevs::DottedAddress(needsSource->NetworkAddress).c_str());
      needsSource = nullptr;
    }
  }

  // A started record becomes scheduled once its source is online (with product
  // item 17), at once otherwise.
  bool Schedule(NetworkManageEntry* record) {
    if (ProductItemOn(ZEV2_MANAGED_NETWORK_MS)) {
      if (!zevs::PutNetworkSourceOnline(anchor, entry, record->Source)) return false;
      TRC(TRC_DETAIL, "Do dp_online for network %s", zevs::DottedAddress(record->NetworkAddress).c_str());
    }
    pthread_mutex_lock(zevs::MonitoredNetworksLock());
    record->ManageAction = ZEVS_MANAGE_SCHEDULED;
    pthread_mutex_unlock(zevs::MonitoredNetworksLock());
    auto* network = static_cast<NetworkEntry*>(record->NetworkEntry);
    zevs::SetNetworkState(network, ZEVS_NETWORK_MANAGED);
    network->pollInterval = record->PollInterval;
    ++changes;
    if (ProductItemOn(ZEV2_MANAGED_NETWORK_MS)) SendSummary(network);
    return true;
  }

  // Records that are not at a worker change only on this thread: the due ones are
  // taken under the list's mutex, then scheduled and handed over without it (the
  // online request waits for the DCH, a new worker for its start).
  void Dispatch() {
    auto now = static_cast<int32_t>(std::time(nullptr));
    std::vector<NetworkManageEntry*> due;
    pthread_mutex_lock(zevs::MonitoredNetworksLock());
    for (NetworkManageEntry* record = zevs::FirstMonitoredNetwork(); record != nullptr; record = record->next) {
      bool waiting = record->ManageAction == ZEVP_MANAGE_START || record->ManageAction == ZEVS_MANAGE_SCHEDULED;
      if (waiting && record->NextDueTime < now) due.push_back(record);
    }
    pthread_mutex_unlock(zevs::MonitoredNetworksLock());
    for (NetworkManageEntry* record : due) {
      NetworkMonitorTaskBlock* worker = ZEVS_LocateIdleMonitorTask(block, &workers);
      if (worker == nullptr) {
        TRC(TRC_ERROR, "*****Network monitor task creation failed, redrive next interval");
        continue;
      }
      if (record->ManageAction == ZEVP_MANAGE_START && !Schedule(record)) continue;
      pthread_mutex_lock(zevs::MonitoredNetworksLock());
      record->ManageAction = ZEVS_MANAGE_AT_WORKER;
      record->NextDueTime = now + record->PollInterval;
      pthread_mutex_unlock(zevs::MonitoredNetworksLock());
      pthread_mutex_lock(&worker->mutex);
      worker->request = record;
      worker->state = ZEVS_WORKER_GIVEN_WORK;
      TRC(TRC_DETAIL, ">>>>>signal network monitor worker task to proceed");
      pthread_cond_signal(&worker->condition);
      pthread_mutex_unlock(&worker->mutex);
    }
    if (changes > 0) {
      zevs::MonitorSeams().writeNetConfigToExt(block);
      changes = 0;
    }
  }

  // Queues a start of every network the list has as managed.
  void QueueManagedNetworks() {
    BSV1_GetLock(&entry->workQueueLock);
    BSV1_GetLock(&block->networkListLock);
    auto** tail = reinterpret_cast<NetworkManageEntry**>(&entry->requestQueue);
    while (*tail != nullptr) tail = &(*tail)->nextRequest;
    for (NetworkEntry* network = block->networks; network != nullptr; network = network->next) {
      if (zevs::NetworkState(network) != ZEVS_NETWORK_MANAGED) continue;
      auto* request = static_cast<NetworkManageEntry*>(ZEV0_GetStorage(sizeof(NetworkManageEntry)));
      if (request == nullptr) break;
      std::memset(static_cast<void*>(request), 0, sizeof(NetworkManageEntry));
      request->Anchor = anchor;
      request->NetworkEntry = network;
      request->NetworkAddress = network->networkAddress;
      request->ManageAction = ZEVP_MANAGE_START;
      request->PollInterval = network->pollInterval;
      TRC(TRC_DETAIL, "Queue and auto start managed network %s", zevs::DottedAddress(network->networkAddress).c_str());
      *tail = request;
      tail = &request->nextRequest;
    }
    BSV1_ReleaseLock(&block->networkListLock);
    BSV1_ReleaseLock(&entry->workQueueLock);
  }

  bool QueueEmpty() {
    BSV1_GetLock(&entry->workQueueLock);
    bool empty = entry->requestQueue == nullptr;
    BSV1_ReleaseLock(&entry->workQueueLock);
    return empty;
  }

  NetworkManageEntry* TakeQueue() {
    BSV1_GetLock(&entry->workQueueLock);
    auto* queue = static_cast<NetworkManageEntry*>(entry->requestQueue);
    entry->requestQueue = nullptr;
    BSV1_ReleaseLock(&entry->workQueueLock);
    return queue;
  }

  void End() {
    pthread_mutex_lock(zevs::MonitoredNetworksLock());
    while (NetworkManageEntry* record = zevs::FirstMonitoredNetwork()) {
      ZEVS_RemoveNetworkManageEntryFromQueue(record);
      if (record->ManageAction != ZEVS_MANAGE_AT_WORKER) toRetire.push_back(record);
    }
    pthread_mutex_unlock(zevs::MonitoredNetworksLock());
    RetireUnlinked(">>>>> Do dp_offline for network %s");
    for (NetworkManageEntry* request = TakeQueue(); request != nullptr;) {
      NetworkManageEntry* next = request->nextRequest;
      FreeRequest(request);
      request = next;
    }
    NetworkMonitorTaskBlock* worker = workers;
    workers = nullptr;
    while (worker != nullptr) {
      NetworkMonitorTaskBlock* next = worker->next;
      pthread_mutex_lock(&worker->mutex);
      worker->state = ZEVS_WORKER_TERMINATE;
      TRC(TRC_DETAIL, ">>>>>Signal monitoring tasks %lX to terminate", worker->threadId);
      pthread_cond_signal(&worker->condition);
      pthread_mutex_unlock(&worker->mutex);
      worker = next;  // the worker frees its block
    }
  }
};

}  // namespace

void ZEVS_NetworkMonitorServerTask(NetworkConfigurationBlock* block) {
  DPAB* anchor = block->anchor;
  ProcessEntry* entry = anchor->networkManagementEntry.load();
  if (entry == nullptr) return;
  Server server(block, anchor, entry);
  server.QueueManagedNetworks();
  while (entry->terminationFlag.load() == 0 && block->shutdown.load() == 0) {
    for (NetworkManageEntry* request = server.TakeQueue(); request != nullptr;) {
      NetworkManageEntry* next = request->nextRequest;
      request->nextRequest = nullptr;
      server.Process(request);
      request = next;
    }
    server.Dispatch();
    // The entry's mutex is held only around the wait (a pass waits for the DCH,
    // which shut-down's signalling under that mutex must not wait for); the queue
    // is looked at under it, so that no enqueue's signal is lost.
    pthread_mutex_lock(&entry->mutex);
    if (server.QueueEmpty() && entry->terminationFlag.load() == 0) {
      TRC(TRC_DETAIL, ">>>>> Network Monitoring Server Task waits on TaskIO notification");
      ZEV0_ConditionTimedWait(&entry->condition, &entry->mutex, kServerWaitSeconds);
    }
    pthread_mutex_unlock(&entry->mutex);
  }
  server.End();
}

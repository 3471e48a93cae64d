// Network monitoring: the server on the manager task's thread takes the requests to
// start, stop or exclude the monitoring of a network, keeps the monitored networks
// and hands each due one to an idle worker thread; a worker visits the network's
// hosts (SNMP, else ping), keeps their letters, reports changes and emits a
// NETWORK row per host.
#pragma once

#include <pthread.h>

#include <cstdint>

struct NetworkConfigurationBlock;
struct NetworkManageEntry;

// ManageAction values of a monitored record beyond the requests' own.
constexpr int32_t ZEVS_MANAGE_AT_WORKER = 2;
constexpr int32_t ZEVS_MANAGE_SCHEDULED = 3;

// One worker thread.
struct NetworkMonitorTaskBlock {
  NetworkMonitorTaskBlock* next;
  NetworkManageEntry* request;  // mutex
  NetworkConfigurationBlock* block;
  int32_t state;  // mutex: ZEVS_WORKER_*
  unsigned long threadId;
  pthread_mutex_t mutex;
  pthread_cond_t condition;
};

enum : int32_t {
  ZEVS_WORKER_STARTING = -1,
  ZEVS_WORKER_IDLE = 0,
  ZEVS_WORKER_GIVEN_WORK = 1,
  ZEVS_WORKER_TERMINATE = 2,
};

// Runs on the manager task's thread until its process entry (the anchor's
// networkManagementEntry) is told to end; then tells its workers to end and
// returns. The workers count themselves as users of the block.
void ZEVS_NetworkMonitorServerTask(NetworkConfigurationBlock* block);
// The body of a worker thread (detached).
void* ZEVS_NetworkMonitorWorkerTask(void* taskBlock);
// An idle worker of the list, else a new one appended to it; null when none can
// be started (the block is then freed here).
NetworkMonitorTaskBlock* ZEVS_LocateIdleMonitorTask(NetworkConfigurationBlock* block,
                                                    NetworkMonitorTaskBlock** workers);

// The monitored networks (pNME … pLastNME), every change and walk under one mutex.
NetworkManageEntry* ZEVS_LocateExistingNME(const NetworkManageEntry* request);
void ZEVS_AddNetworkManageEntryToQueue(NetworkManageEntry* request);
void ZEVS_RemoveNetworkManageEntryFromQueue(NetworkManageEntry* entry);

namespace zevs {

// The list's mutex: held for every change and walk of the monitored networks.
pthread_mutex_t* MonitoredNetworksLock();
// The first monitored record; under MonitoredNetworksLock.
NetworkManageEntry* FirstMonitoredNetwork();

}  // namespace zevs

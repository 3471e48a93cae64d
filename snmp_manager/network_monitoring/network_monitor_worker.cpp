// The network monitor's workers: a pool of detached threads, each walking the
// hosts of the network the server hands it, one cycle at a time.
#include <arpa/inet.h>
#include <sys/socket.h>

#include <cstring>
#include <ctime>

#include "host_visit.h"
#include "managed_node_entry.h"
#include "network_configuration_block.h"
#include "network_manage_entry.h"
#include "network_masks.h"
#include "network_monitor.h"
#include "network_monitor_seams.h"
#include "network_state.h"
#include "network_sources.h"
#include "snmp_thread.h"
#include "status_records.h"
#include "trc1.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"
#include "zev0/threads.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

constexpr int32_t kMessageBufferSize = 1024;
constexpr int kStartWaitSeconds = 1;

bool Terminating(void* worker) {
  auto* block = static_cast<NetworkMonitorTaskBlock*>(worker);
  pthread_mutex_lock(&block->mutex);
  bool terminating = block->state == ZEVS_WORKER_TERMINATE;
  pthread_mutex_unlock(&block->mutex);
  return terminating || block->block->shutdown.load() != 0;
}

struct Worker {
  NetworkMonitorTaskBlock* task;
  int socketDescriptor = -1;
  char* messages = nullptr;
  char* rows = nullptr;
  int32_t pass = 0;

  // Walks the hosts of the request's network once.
  void Cycle(NetworkManageEntry* request) {
    auto* network = static_cast<NetworkEntry*>(request->NetworkEntry);
    int32_t range = static_cast<int32_t>(~network->networkMask);
    if (range <= 0 || range > network->hostRange) range = network->hostRange;
    TRC(TRC_DETAIL, "Network range in effect %d", range);
    if (network->hosts == nullptr) zevs::MakeHosts(network, range);
    TRC(TRC_DETAIL, ">>>>>Network Monitor work task now managing network %s",
        zevs::DottedAddress(request->NetworkAddress).c_str());
    time_t start = std::time(nullptr);
    zevs::HostVisitContext context{request->Anchor,
                                   request->Source,
                                   network,
                                   zevs::MonitorSeams().locateBaseNetworkEntry(request->NetworkAddress),
                                   socketDescriptor,
                                   rows,
                                   Terminating,
                                   task};
    for (ManagedNodeEntry* node = network->hosts; node != nullptr; node = node->next) {
      if (zevs::NetworkState(network) != ZEVS_NETWORK_MANAGED || Terminating(task)) break;
      if (node->hostIndex >= range) continue;
      if (zevs::PassVisits(pass, zevs::HostLetter(network, node->hostIndex))) zevs::VisitHost(context, node);
    }
    pass = pass == 1 ? 2 : 1;
    TRC(TRC_DETAIL, ">>>>>Network Monitor work task completed managing network %s, Cycle Time %d",
        zevs::DottedAddress(request->NetworkAddress).c_str(), static_cast<int>(std::time(nullptr) - start));
  }

  // Without a source the network stays with this worker, paced by its interval.
  void PaceSourceless(NetworkManageEntry* request, time_t cycleStart) {
    ZEVS_AccumNodeStatusCount(nullptr, 3, 1);
    // A start request of the same network may lower the interval meanwhile.
    pthread_mutex_lock(zevs::MonitoredNetworksLock());
    int32_t interval = request->PollInterval;
    pthread_mutex_unlock(zevs::MonitoredNetworksLock());
    int remain = interval - static_cast<int>(std::time(nullptr) - cycleStart);
    TRC(TRC_DETAIL, "Cycle interval %d, remain time %d", interval, remain);
    pthread_mutex_lock(&task->mutex);
    if (remain > 0 && task->state != ZEVS_WORKER_TERMINATE) {
      ZEV0_ConditionTimedWait(&task->condition, &task->mutex, remain);
    }
    pthread_mutex_unlock(&task->mutex);
  }

  // Gives the network back: scheduled again while it is monitored and managed,
  // else freed here (a stop came while it was at this worker).
  void GiveBack(NetworkManageEntry* request) {
    auto* network = static_cast<NetworkEntry*>(request->NetworkEntry);
    pthread_mutex_lock(zevs::MonitoredNetworksLock());
    bool listed = false;
    for (NetworkManageEntry* entry = zevs::FirstMonitoredNetwork(); entry != nullptr; entry = entry->next) {
      listed = listed || entry == request;
    }
    if (listed && zevs::NetworkState(network) == ZEVS_NETWORK_MANAGED) {
      request->ManageAction = ZEVS_MANAGE_SCHEDULED;
      request = nullptr;
    } else if (listed) {
      ZEVS_RemoveNetworkManageEntryFromQueue(request);
    }
    pthread_mutex_unlock(zevs::MonitoredNetworksLock());
    if (request != nullptr) {
      TRC(TRC_DETAIL, ">>>>> Do dp_offline for network %s", zevs::DottedAddress(request->NetworkAddress).c_str());
      zevs::TakeNetworkSourceOffline(request->Anchor, nullptr, request->Source);
      ZEV0_FreeStorage(&request);
    }
    zevs::MonitorSeams().updateNetworkInfoToDCH(task->block, network);
  }

  void Run() {
    for (;;) {
      pthread_mutex_lock(&task->mutex);
      while (task->state != ZEVS_WORKER_TERMINATE && task->request == nullptr) {
        pthread_cond_wait(&task->condition, &task->mutex);
      }
      NetworkManageEntry* request = task->state == ZEVS_WORKER_TERMINATE ? nullptr : task->request;
      pthread_mutex_unlock(&task->mutex);
      if (request == nullptr) return;
      for (;;) {
        time_t start = std::time(nullptr);
        Cycle(request);
        if (request->Source != nullptr || Terminating(task)) break;
        PaceSourceless(request, start);
        if (Terminating(task)) break;
      }
      pthread_mutex_lock(&task->mutex);
      task->request = nullptr;
      if (task->state != ZEVS_WORKER_TERMINATE) task->state = ZEVS_WORKER_IDLE;
      pthread_mutex_unlock(&task->mutex);
      GiveBack(request);
    }
  }
};

}  // namespace

void* ZEVS_NetworkMonitorWorkerTask(void* argument) {
  auto* task = static_cast<NetworkMonitorTaskBlock*>(argument);
  NetworkConfigurationBlock* block = task->block;
  Worker worker{task};
  worker.messages = static_cast<char*>(ZEV0_GetStorage(kMessageBufferSize));
  worker.rows = static_cast<char*>(ZEV0_GetStorage(zevs::kHostVisitBufferSize));
  sockaddr_in local{};
  if (worker.messages != nullptr && worker.rows != nullptr) {
    worker.socketDescriptor = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 0);
  }
  pthread_mutex_lock(&task->mutex);
  task->threadId = BSV1_ThreadID();
  bool started = worker.socketDescriptor >= 0;
  if (!started) TRC(TRC_ERROR, "*****unable to open node monitoring socket. Node management impossible");
  // Without its socket the worker ends at once and the pool frees its block.
  task->state = started ? ZEVS_WORKER_IDLE : ZEVS_WORKER_TERMINATE;
  pthread_cond_broadcast(&task->condition);
  pthread_mutex_unlock(&task->mutex);
  if (started) {
    worker.Run();
    TRC(TRC_DETAIL, ">>>>> SNMP network monitor worker process ended. Thread: %lX", task->threadId);
    pthread_mutex_destroy(&task->mutex);
    pthread_cond_destroy(&task->condition);
    ZEV0_FreeStorage(&task);
    ZEV0_CloseTheSocket(worker.socketDescriptor);
  }
  ZEV0_FreeStorage(&worker.messages);
  ZEV0_FreeStorage(&worker.rows);
  zevs::BlockUserEnded(block);
  ZEVS_EndThread();
}

NetworkMonitorTaskBlock* ZEVS_LocateIdleMonitorTask(NetworkConfigurationBlock* block,
                                                    NetworkMonitorTaskBlock** workers) {
  NetworkMonitorTaskBlock** tail = workers;
  for (; *tail != nullptr; tail = &(*tail)->next) {
    pthread_mutex_lock(&(*tail)->mutex);
    bool idle = (*tail)->state == ZEVS_WORKER_IDLE && (*tail)->request == nullptr;
    pthread_mutex_unlock(&(*tail)->mutex);
    if (idle) return *tail;
  }
  auto* task = static_cast<NetworkMonitorTaskBlock*>(ZEV0_GetStorage(sizeof(NetworkMonitorTaskBlock)));
  if (task == nullptr) {
    TRC(TRC_ERROR, "*****unable to allocate storage for Network Monitor Task Block");
    return nullptr;
  }
  std::memset(static_cast<void*>(task), 0, sizeof(NetworkMonitorTaskBlock));
  task->state = ZEVS_WORKER_STARTING;
  task->block = block;
  pthread_mutex_init(&task->mutex, nullptr);
  pthread_cond_init(&task->condition, nullptr);
  zevs::BlockUserStarted(block);
  pthread_t thread{};
  pthread_mutex_lock(&task->mutex);
  int rc = ZEV0_CreateThread(ZEVS_NetworkMonitorWorkerTask, task, PTHREAD_CREATE_DETACHED, &thread);
  if (rc != 0) {
    pthread_mutex_unlock(&task->mutex);
    TRC(TRC_ERROR, "***** Network Monitor task creation failed RC %d, Errno %d", rc, errno);
    zevs::BlockUserEnded(block);
  } else {
    while (task->state == ZEVS_WORKER_STARTING) {
      TRC(TRC_DETAIL, ">>>>>Wait for Network Monitor task initialization");
      ZEV0_ConditionTimedWait(&task->condition, &task->mutex, kStartWaitSeconds);
    }
    bool started = task->state == ZEVS_WORKER_IDLE;
    pthread_mutex_unlock(&task->mutex);
    if (started) {
      *tail = task;
      return task;
    }
  }
  // Not started, or ended for want of its socket: redriven at the next pass.
  pthread_mutex_destroy(&task->mutex);
  pthread_cond_destroy(&task->condition);
  ZEV0_FreeStorage(&task);
  return nullptr;
}

#include "manager_threads.h"


#include <ctime>

#include "network_configuration_block.h"
#include "trap_monitor.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace zevs {

namespace {

constexpr const char* kNames[kManagerThreadCount] = {"ManagedNodeListServer", "SNMPtrapMonitorTask",
                                                      "DiscoverPlovenManagerTask", "DiscoverRouterTask",
                                                      "DiscoverNetworkTask"};

}  // namespace

bool ManagerThreads::start(ManagerThread thread, BlockThreadRoutine routine) {
  Thread& entry = threads_[thread];
  if (ZEV0_CreateThread(routine, block_, PTHREAD_CREATE_JOINABLE, &entry.id) != 0) {
    TRC(TRC_ERROR, "----- Start %s failed", kNames[thread]);
    return false;
  }
  entry.started = true;
  return true;
}

bool ManagerThreads::ended(ManagerThread thread) {
  if (running(thread) && pthread_tryjoin_np(threads_[thread].id, nullptr) == 0) threads_[thread].joined = true;
  return threads_[thread].started && !running(thread);
}

bool ManagerThreads::join(ManagerThread thread) {
  if (!running(thread)) return true;
  timespec deadline{};
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += kJoinWaitSeconds;
  int rc = pthread_timedjoin_np(threads_[thread].id, nullptr, &deadline);
  if (rc != 0) {
    TRC(TRC_ERROR, "----- %s thread did not end: rc %d", kNames[thread], rc);
    return false;
  }
  threads_[thread].joined = true;
  return true;
}

bool ManagerThreads::stopAll(DPAB* anchor) {
  if (block_ == nullptr) return true;  // no thread was started without a block
  ManagerRoutines& routines = Routines();
  if (running(kListServer)) routines.shutdownSNMPManagedNodeListTask(anchor);
  SignalBlockShutdown(block_);
  ZEVS_InterruptTrapMonitor(block_);
  if (running(kAgentDiscovery)) routines.enqueuePlovenDiscoveryRequest(nullptr);
  bool allEnded = true;
  for (int thread = 0; thread < kManagerThreadCount; ++thread)
    allEnded = join(static_cast<ManagerThread>(thread)) && allEnded;
  return allEnded;
}

}  // namespace zevs

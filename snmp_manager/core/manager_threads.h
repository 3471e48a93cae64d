// The joinable threads that the SNMP manager task starts with the network
// configuration block, and their end: none of them may outlive the block.
#pragma once

#include <pthread.h>

#include "manager_routines.h"

struct DPAB;

namespace zevs {

enum ManagerThread : int {
  kListServer = 0,
  kTrapMonitor,
  kAgentDiscovery,
  kRouterDiscovery,
  kNetworkDiscovery,
  kManagerThreadCount,
};

class ManagerThreads {
 public:
  explicit ManagerThreads(NetworkConfigurationBlock* block) : block_(block) {}

  // Starts the routine on a joinable thread with the block; false, traced
  // "----- Start <name> failed", when the thread could not be made.
  bool start(ManagerThread thread, BlockThreadRoutine routine);
  pthread_t id(ManagerThread thread) const { return threads_[thread].id; }
  // True when the thread was started and has ended (it is then joined).
  bool ended(ManagerThread thread);
  // Joins the thread when it was started and has not been joined, waiting at most
  // kJoinWaitSeconds; false (traced) when it is still running then.
  bool join(ManagerThread thread);
  // Tells every thread not yet joined to end, as the manager's shut-down does (the
  // list server's end flag, the block's shut-down flag, an empty discovery
  // request), and joins them. True when no thread given the block runs any more.
  bool stopAll(DPAB* anchor);

  static constexpr int kJoinWaitSeconds = 60;

 private:
  struct Thread {
    pthread_t id{};
    bool started = false;
    bool joined = false;
  };
  bool running(ManagerThread thread) const { return threads_[thread].started && !threads_[thread].joined; }

  NetworkConfigurationBlock* block_;
  Thread threads_[kManagerThreadCount];
};

}  // namespace zevs

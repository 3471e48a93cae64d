#include "snmp_manager_task.h"

#include "application_entry.h"
#include "bsv1.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "icmp_probing.h"
#include "manager_routines.h"
#include "manager_switches.h"
#include "manager_threads.h"
#include "mib_status_rows.h"
#include "network_configuration_block.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "snmp_manager_model.h"
#include "snmp_thread.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trap_monitor.h"
#include "trc1.h"

TRC_UNIT();

std::atomic<const char*> sDefaultCommunity{nullptr};

namespace {

constexpr int32_t kNetworkDiscoveryNotRequested = 106;
constexpr int32_t kTrapMonitorNotRequested = 107;
// How long the manager waits for the managed-node-list server to be ready, in
// one-second looks, and for the detached threads of the block to end at its end.
constexpr int kListServerReadyLooks = 60;
constexpr int kBlockUsersWaitSeconds = 60;

class ManagerTask {
 public:
  explicit ManagerTask(ProcessEntry* entry)
      : entry_(entry), anchor_(entry->anchor), routines_(zevs::Routines()), threads_(nullptr) {}

  [[noreturn]] void run();

 private:
  bool startUp();
  void startListServer();
  bool startDiscovery();
  void shutDown();
  void takeOffline(int table);
  [[noreturn]] void release();

  ProcessEntry* entry_;
  DPAB* anchor_;
  zevs::ManagerRoutines& routines_;
  NetworkConfigurationBlock* block_ = nullptr;
  ManagerSwitches switches_;
  zevs::ManagerThreads threads_;
  unsigned long thread_ = 0;
};

void ManagerTask::run() {
  switches_ = zevs::ReadManagerSwitches();
  thread_ = BSV1_ThreadID();
  entry_->threadId = thread_;
  // The entry's lock is not held for the task's life: the task takes the anchor's
  // process-list lock (its DCH waits, its release), which comes before an entry's.
  TRC(TRC_DETAIL, ">>>>> SNMP Manager process started. Thread: %lX", thread_);
  zevs::ApplyProductGates(&switches_);
  if (startUp()) {
    TRC(TRC_DETAIL, "----- Start Network Monitor Server Task -----");
    routines_.networkMonitorServerTask(block_);
    shutDown();
  }
  release();
}

bool ManagerTask::startUp() {
  block_ = NCB.load();
  if (block_ == nullptr) block_ = ZEVS_InitializeNCB();
  if (block_ == nullptr) return false;
  threads_ = zevs::ManagerThreads(block_);
  sDefaultCommunity = block_->defaultCommunity;
  block_->anchor = anchor_;
  anchor_->networkConfiguration = block_;

  zevp::EngineRoutines& engine = zevp::Routines();
  engine.loadSNMPNetworkName();
  engine.loadSNMPcommunityName();
  if (!ZEVP_DefineSNMPmonitorSpec(anchor_, switches_.networkDiscovery, switches_.trapMonitoring)) {
    TRC(TRC_ERROR, "*****Error! No SNMP system applications were defined. Initialization failed");
    anchor_->shutdownFlag = 1;
    zevp::NotifyShutdownFlagSet();
    return false;
  }
  anchor_->networkManagementEntry = entry_;

  if (!routines_.retrieveLocalNetworkInfo(block_)) {
    TRC(TRC_ERROR,
        "*****Error! No local network configuration information found. SNMP DP functions cannot be performed.");
    return false;
  }
  routines_.checkICMPdaemonStatus();
  startListServer();

  if (switches_.trapMonitoring) {
    if (!threads_.start(zevs::kTrapMonitor, routines_.trapMonitorTask)) return false;
  } else {
    TRC(TRC_DETAIL, ">>>>>Monitor SNMP trap task not requested");
    zevp::Routines().sendDPlogMessage(anchor_, kTrapMonitorNotRequested, nullptr, nullptr, nullptr, nullptr,
                                      nullptr);
  }
  if (switches_.agentDiscovery && !threads_.start(zevs::kAgentDiscovery, routines_.discoverPlovenManagerTask))
    return false;
  return startDiscovery();
}

// The list configuration is read once the server is ready; a server that did not
// start, that ended, or that is not ready in time leaves the lists unread and the
// manager goes on. The wait also holds during a shut-down: the server's end flag
// can be set only once it is ready.
void ManagerTask::startListServer() {
  if (!threads_.start(zevs::kListServer, routines_.managedNodeListServer)) return;
  for (int look = 0; anchor_->managedNodeListEntry.load() == nullptr; ++look) {
    if (look == kListServerReadyLooks || threads_.ended(zevs::kListServer)) {
      TRC(TRC_ERROR, "----- ManagedNodeListServer not ready: managed node list configuration not read");
      return;
    }
    BSV1_Sleep(1);
  }
  routines_.readSNMPManagedNodeListConfigFile(anchor_);
}

bool ManagerTask::startDiscovery() {
  if (!switches_.networkDiscovery) {
    TRC(TRC_DETAIL, ">>>>>SNMP network discovery not requested");
    zevp::Routines().sendDPlogMessage(anchor_, kNetworkDiscoveryNotRequested, nullptr, nullptr, nullptr, nullptr,
                                      nullptr);
    return true;
  }
  routines_.readNetConfigFromExt(block_);
  routines_.readNetConfigSeedFile(block_);
  return threads_.start(zevs::kRouterDiscovery, routines_.discoverRouterTask) &&
         threads_.start(zevs::kNetworkDiscovery, routines_.discoverNetworkTask);
}

void ManagerTask::shutDown() {
  routines_.shutdownSNMPManagedNodeListTask(anchor_);
  zevs::SignalBlockShutdown(block_);
  ZEVS_InterruptTrapMonitor(block_);
  threads_.join(zevs::kListServer);
  if (switches_.trapMonitoring) {
    threads_.join(zevs::kTrapMonitor);
    takeOffline(ZEVP_SNMP_TRAP);
  }
  if (switches_.agentDiscovery) {
    routines_.enqueuePlovenDiscoveryRequest(nullptr);
    TRC(TRC_DETAIL, "----- Wait to join DiscoverPlovenManagerTask thread %lu -----",
        static_cast<unsigned long>(threads_.id(zevs::kAgentDiscovery)));
    threads_.join(zevs::kAgentDiscovery);
    TRC(TRC_DETAIL, "----- DiscoverPlovenManagerTask detached -----");
  }
  if (switches_.networkDiscovery) {
    TRC(TRC_DETAIL, "----- Wait to join DiscoverRouterTask thread %lu -----",
        static_cast<unsigned long>(threads_.id(zevs::kRouterDiscovery)));
    threads_.join(zevs::kRouterDiscovery);
    takeOffline(ZEVP_SNMP_ROUTER);
    TRC(TRC_DETAIL, "----- Wait to join DiscoverNetworkTask thread %lu -----",
        static_cast<unsigned long>(threads_.id(zevs::kNetworkDiscovery)));
    threads_.join(zevs::kNetworkDiscovery);
    takeOffline(ZEVP_SNMP_NETSUMMARY);
  }
  // Collectors may still be sending their status rows.
  ZEVP_EndMIBstatusRows(anchor_, [this] { takeOffline(ZEVP_SNMP_MIBSTATUS); });
  for (int table : {ZEVP_SNMP_TRAP, ZEVP_SNMP_ROUTER, ZEVP_SNMP_NETSUMMARY}) anchor_->snmpManagerTables[table] = nullptr;
}

// The manager task waits for the offline on its own entry; the source's own entry
// comes back afterwards, to be freed with the source.
void ManagerTask::takeOffline(int table) {
  SourceEntry* source = ZEVP_SNMPmanagerSource(anchor_, table);
  if (source == nullptr) return;
  TRC(TRC_DETAIL, "----- Do dp_offline for %s%s -----", source->Table->Application->ProductCode,
      source->Table->TableName);
  zevp::EngineRoutines& engine = zevp::Routines();
  engine.updateSourceEntryState(source, ZEVP_Inactive);
  BSV1_GetLock(&source->EntryLock);
  ProcessEntry* own = source->OwningTask;
  source->OwningTask = entry_;
  BSV1_ReleaseLock(&source->EntryLock);
  engine.queueAndWaitDCHstatus(anchor_, entry_, source);
  BSV1_GetLock(&source->EntryLock);
  source->OwningTask = own;
  BSV1_ReleaseLock(&source->EntryLock);
}

// Reached after the shut-down and after any failed start: the threads given the
// block end before the block goes, and a block that detached threads still use is
// left in place.
void ManagerTask::release() {
  bool threadsEnded = threads_.stopAll(anchor_);
  zevs::CloseIcmpDaemonSocket();
  if (block_ != nullptr) {
    if (threadsEnded && zevs::AwaitBlockUsersEnded(block_, kBlockUsersWaitSeconds)) {
      anchor_->networkConfiguration = nullptr;
      sDefaultCommunity = nullptr;
      zevs::FreeNetworkConfigurationBlock(block_);
    } else {
      TRC(TRC_ERROR, "***** Threads still use the NetworkConfigurationBlock @%p: its lists are left in place",
          static_cast<void*>(block_));
    }
  }
  zevp::Routines().freeSNMPNetworkNameList();
  zevp::Routines().freeSNMPcommunityNameList();
  ProcessEntry* ownEntry = entry_;
  anchor_->networkManagementEntry.compare_exchange_strong(ownEntry, nullptr);
  ZEVP_ReleaseProcessResources(anchor_, entry_);
  TRC(TRC_DETAIL, ">>>>> SNMP Manager process ended. Thread: %lX", thread_);
  ZEVS_EndThread();
}

}  // namespace

void ZEVS_SNMPmanagerTask(ProcessEntry* processEntry) { ManagerTask(processEntry).run(); }

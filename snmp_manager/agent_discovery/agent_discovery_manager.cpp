#include "agent_discovery_manager.h"

#include <arpa/inet.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agent_discovery_scope.h"
#include "agent_discovery_server.h"
#include "agents_file.h"
#include "bsv1.h"
#include "debug_switches.h"
#include "discovery_client.h"
#include "discovery_client_pool.h"
#include "discovery_requests.h"
#include "local_networks.h"
#include "manager_routines.h"
#include "network_configuration_block.h"
#include "network_masks.h"
#include "ploven_agent_entry.h"
#include "ploven_agent_row.h"
#include "product_affinity.h"
#include "raf_interfaces.h"
#include "snmp_thread.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/threads.h"
#include "zevp/data_provider.h"

TRC_UNIT();

namespace {

// Set by the listen task: the port, or kNoPlovenListenPort. A process
// global, since a detached listen task may outlive the manager that started it.
std::atomic<int32_t> listenPort{0};

// The first agent port: PXRAF_IP_PORT when it is a port number, else 38213.
int32_t BasePortFromEnvironment() {
  const char* text = ZEV0_GetEnv("PXRAF_IP_PORT", nullptr);
  if (text == nullptr) return zevs::kDefaultAgentPort;
  const long port = std::atol(text);
  if (port >= 1 && port <= 65535) return static_cast<int32_t>(port);
  TRC(TRC_ERROR, "*****PXRAF_IP_PORT %s is no port number: %d used", text, zevs::kDefaultAgentPort);
  return zevs::kDefaultAgentPort;
}

// Where agents call back: the one address the runtime serves at, else the host's
// address, which is not a loopback one when the host has another (a loopback address
// would reach none of them).
std::string CallBackAddress() {
  const uint32_t served = zevs::PlovenListenAddress().load();
  return served != 0 ? zevs::DottedAddress(served) : ZEVS_ReachableLocalAddress();
}

// Starts the listen task and waits for its port; the manager goes on without a
// listener when the task could not be made or found no port, and stops waiting at
// shut-down. Agents can register only when a port was found.
void StartListener(NetworkConfigurationBlock* block) {
  listenPort.store(0);
  zevs::PlovenListenAddress().store(0);
  void* (*listen)(void*) = zevs::Routines().listenPlovenAgentReply;
  if (ZEVP_IsIndependentDPenvironment() == 0) {
    // The agent program's framework serves RPC: the task only registers the interface.
    listen(&listenPort);
  } else {
    pthread_t thread;
    if (ZEV0_CreateThread(listen, &listenPort, PTHREAD_CREATE_DETACHED, &thread) != 0) {
      TRC(TRC_ERROR, "*****listen agent reply rpc listen task creation failed. Errno %s", std::strerror(errno));
      return;
    }
    while (listenPort.load() == 0 && block->shutdown.load() == 0) zevs::SleepUnlessShutdown(block, 1);
  }
  if (listenPort.load() == kNoPlovenListenPort)
    TRC(TRC_ERROR, "*****No port to listen for agent replies: discovered agents cannot register");
}

// A request's address: "0.0.0.0" (any text that reads as address 0) asks for a recheck.
bool AsksForRecheck(const char* address) { return inet_addr(address) == 0; }

// Sends the row of every agent (update mode), in list order.
void SendAgentRows(const zevs::AgentList& agents) {
  BSV1_GetLock(agents.lock);
  for (PlovenAgentEntry* entry = *agents.first; entry != nullptr; entry = entry->next)
    ZEVS_UpdatePlovenAgentInfoToDCH(entry, 0);
  BSV1_ReleaseLock(agents.lock);
}

class DiscoveryManager {
 public:
  explicit DiscoveryManager(NetworkConfigurationBlock* block) : block_(block) {}

  [[noreturn]] void run();

 private:
  void serveRequests();
  void recheckAgents() {
    ZEVS_CheckDiscoveredPlovenAgentStatus(block_, basePort_, listenAddress_);
  }
  [[noreturn]] void shutDown();

  NetworkConfigurationBlock* block_;
  int32_t basePort_ = zevs::kDefaultAgentPort;
  char listenAddress_[kDiscoveryListenAddressSize] = "";
};

void DiscoveryManager::run() {
  // Requests posted before this are dropped: the start line says that they are queued now.
  zevs::AcceptDiscoveryRequests(block_);
  TRC(TRC_DETAIL, ">>>>> SNMP discover Ploven agent manager process started. Thread: %lX", BSV1_ThreadID());
  StartListener(block_);
  if (block_->shutdown.load() != 0) shutDown();
  const std::string localAddress = CallBackAddress();
  std::snprintf(listenAddress_, sizeof listenAddress_, "%s[%d]", localAddress.c_str(),
                listenPort.load() > 0 ? listenPort.load() : 0);

  basePort_ = BasePortFromEnvironment();
  zevs::StartDiscoveryClients(block_, basePort_, listenAddress_);

  ZEVS_InitializePlovenFeatureArray();
  ZEVS_ReadDiscoveredPlovenAgentFromExt();
  recheckAgents();
  SendAgentRows(zevs::AgentScopeOf(block_).agents);
  serveRequests();
  shutDown();
}

// Requests are handled without the wake-up mutex, so that a poster never waits for a
// dispatch; one posted meanwhile is taken before the manager waits again.
void DiscoveryManager::serveRequests() {
  pthread_mutex_lock(&AgentDiscoveryRequestMutex);
  while (block_->shutdown.load() == 0) {
    while (PlovenDiscoveryRequest* request = ZEVS_DequeuePlovenDiscoveryRequest()) {
      pthread_mutex_unlock(&AgentDiscoveryRequestMutex);
      if (AsksForRecheck(request->address)) {
        recheckAgents();
        ZEVS_WriteDiscoveredPlovenAgentToExt(block_);
      } else {
        ZEVS_DispatchPlovenAgentDiscovery(request->address, basePort_, listenAddress_, zevs::kNewAddressPortCount);
      }
      delete request;
      pthread_mutex_lock(&AgentDiscoveryRequestMutex);
    }
    if (block_->shutdown.load() != 0) break;
    pthread_cond_wait(&AgentDiscoveryRequestTaskControl, &AgentDiscoveryRequestMutex);
  }
  pthread_mutex_unlock(&AgentDiscoveryRequestMutex);
}

void DiscoveryManager::shutDown() {
  zevs::StopDiscoveryClients();
  // A registration still served after this would find released entries.
  rpc__status_t status;
  rpc__unregister(&RAF_Proxy_v131_if_spec, &status);
  zevs::ReleaseAgents(zevs::AgentScopeOf(block_).agents);
  zevs::RefuseDiscoveryRequests();
  TRC(TRC_DETAIL, ">>>>> SNMP discover Ploven agent manager process ended. Thread: %lX", BSV1_ThreadID());
  ZEVS_EndThread();
}

}  // namespace

void* ZEVS_DiscoverPlovenManagerTask(void* block) {
  DiscoveryManager(static_cast<NetworkConfigurationBlock*>(block)).run();
}

void ZEVS_CheckDiscoveredPlovenAgentStatus(NetworkConfigurationBlock* block, int32_t basePort,
                                           const char* listenAddress) {
  const zevs::AgentList agents = zevs::AgentScopeOf(block).agents;
  std::vector<std::string> addresses;
  BSV1_GetLock(agents.lock);
  std::string previous = "0.0.0.0";
  for (PlovenAgentEntry* entry = *agents.first; entry != nullptr; entry = entry->next) {
    BSV1_GetLock(&entry->lock);
    std::string address = entry->networkAddress != nullptr ? entry->networkAddress : "";
    BSV1_ReleaseLock(&entry->lock);
    if (address.empty() || address == previous) continue;
    previous = address;
    addresses.push_back(address);
  }
  BSV1_ReleaseLock(agents.lock);
  for (const std::string& address : addresses)
    ZEVS_DispatchPlovenAgentDiscovery(address.c_str(), basePort, listenAddress, zevs::kRecheckPortCount);
}

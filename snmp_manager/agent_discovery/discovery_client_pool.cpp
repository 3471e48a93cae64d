#include "discovery_client_pool.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "agent_discovery_scope.h"
#include "bsv1.h"
#include "debug_switches.h"
#include "discovery_client.h"
#include "network_configuration_block.h"
#include "ploven_agent_entry.h"
#include "trc1.h"
#include "zev0/env.h"

TRC_UNIT();

namespace {

// More looks without an idle client than this start a new client.
constexpr int kLooksBeforeGrowing = 10;
constexpr unsigned kLookIntervalSeconds = 2;

// The pool: used by the manager thread only, the blocks' states excepted.
NetworkConfigurationBlock* poolBlock = nullptr;
DiscoveryClientBlock* CADCarray = nullptr;
int32_t MaxClients = 0;
int32_t TotalActiveClients = 0;

int32_t MaxClientsFromEnvironment() {
  const char* text = ZEV0_GetEnv("ZEVP_SNMP_PLOVEN_MAX_CLIENT_TASKS", nullptr);
  const int value = text != nullptr ? std::atoi(text) : 0;
  return value >= 1 ? value : zevs::kDefaultMaxDiscoveryClients;
}

bool ShutdownUnderWay() { return poolBlock == nullptr || poolBlock->shutdown.load() != 0; }

// Hands the target to the client when it is idle; false when it is not.
bool HandOver(int32_t index, const char* address, int32_t portCount) {
  DiscoveryClientBlock* client = &CADCarray[index];
  pthread_mutex_lock(&client->mutex);
  const bool idle = client->state.load() == kClientIdle;
  if (idle) {
    std::snprintf(client->target, sizeof client->target, "%s", address);
    client->portCount = portCount;
    zevs::StampAgents(zevs::AgentScopeOf(poolBlock).agents, address, zevs::AgentClockNow());
    client->state.store(kClientDispatched);
    ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "Dispatch RPC client %d %p for target node %s", index,
             static_cast<void*>(client), address);
    pthread_cond_signal(&client->condition);
  }
  pthread_mutex_unlock(&client->mutex);
  return idle;
}

}  // namespace

void ZEVS_DispatchPlovenAgentDiscovery(const char* address, int32_t basePort, const char* listenAddress,
                                       int32_t portCount) {
  if (address == nullptr) return;
  for (int waits = 0; !ShutdownUnderWay();) {
    // The state is read without the mutex, which a busy client does not hold either.
    for (int32_t index = 0; index < TotalActiveClients; ++index)
      if (CADCarray[index].state.load() == kClientIdle && HandOver(index, address, portCount)) return;
    ++waits;
    ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "No available rpc client for request. Max client %d Wait %d",
             MaxClients, waits);
    if (waits > kLooksBeforeGrowing && TotalActiveClients < MaxClients && !ShutdownUnderWay()) {
      ZEVS_CreateDiscoverPlovenAgentClientTask(&CADCarray[TotalActiveClients], basePort, listenAddress);
      ++TotalActiveClients;
    }
    zevs::SleepUnlessShutdown(poolBlock, kLookIntervalSeconds);
  }
}

namespace zevs {

void StartDiscoveryClients(NetworkConfigurationBlock* block, int32_t basePort, const char* listenAddress) {
  poolBlock = block;
  MaxClients = MaxClientsFromEnvironment();
  CADCarray = new (std::nothrow) DiscoveryClientBlock[static_cast<size_t>(MaxClients)]();
  if (CADCarray == nullptr) {
    TRC(TRC_ERROR, "*****No storage for %d agent discovery clients: no agent is probed", MaxClients);
    MaxClients = 0;
  }
  TotalActiveClients = 0;
  for (int32_t half = MaxClients / 2; TotalActiveClients < half; ++TotalActiveClients)
    ZEVS_CreateDiscoverPlovenAgentClientTask(&CADCarray[TotalActiveClients], basePort, listenAddress);
}

void StopDiscoveryClients() {
  // Every client is told first, so that they all end within the same wait.
  for (int32_t index = 0; index < TotalActiveClients; ++index) {
    DiscoveryClientBlock* client = &CADCarray[index];
    if (client->state.load() == kClientStarting) continue;  // its thread could not be made
    pthread_mutex_lock(&client->mutex);
    client->state.store(kClientStopRequested);
    pthread_cond_signal(&client->condition);
    pthread_mutex_unlock(&client->mutex);
  }
  for (int32_t index = 0; index < TotalActiveClients; ++index) {
    DiscoveryClientBlock* client = &CADCarray[index];
    if (client->state.load() != kClientStarting) zevs::AwaitClientState(client, kClientIdle);
  }
  for (int32_t index = 0; index < TotalActiveClients; ++index) {
    pthread_mutex_destroy(&CADCarray[index].mutex);
    pthread_cond_destroy(&CADCarray[index].condition);
  }
  delete[] CADCarray;
  CADCarray = nullptr;
  MaxClients = TotalActiveClients = 0;
  poolBlock = nullptr;
}

}  // namespace zevs

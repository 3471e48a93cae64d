// The agent discovery manager: the thread that takes discovery requests, hands them to
// its client pool, rechecks every known agent on request, and keeps the agents file.
#pragma once

#include <cstdint>

struct NetworkConfigurationBlock;

// The thread, started with the network configuration block; ends with the block's
// shut-down flag (and a wake-up through the request queue), after stopping its clients,
// unregistering RAF_Proxy so that no late registration reaches an entry, and releasing
// every agent entry.
void* ZEVS_DiscoverPlovenManagerTask(void* block);

// Dispatches one probe, on the base port only, per address of the block's agent list;
// consecutive entries of one host (an agent and its subnodes) make one probe. The
// addresses are read under the agent-list lock and dispatched after it, since a
// dispatch stamps the entries under that lock.
void ZEVS_CheckDiscoveredPlovenAgentStatus(NetworkConfigurationBlock* block, int32_t basePort,
                                           const char* listenAddress);

namespace zevs {

constexpr int32_t kDefaultAgentPort = 38213;
// Ports tried for a new address; a recheck tries one.
constexpr int32_t kNewAddressPortCount = 10;
constexpr int32_t kRecheckPortCount = 1;

}  // namespace zevs

// The discovery manager's pool of client threads (discovery_client.h): an array of
// MaxClients blocks of which the first TotalActiveClients have had a thread started.
// Only the manager thread starts, dispatches to and stops the pool.
#pragma once

#include <cstdint>

struct NetworkConfigurationBlock;

// Hands the address to the first idle client, with the port count, and stamps the
// agents at that address as checked now. With none idle it looks again every 2
// seconds (through the clock seam); once more than 10 looks of this dispatch found
// none, each further look first starts a client in the first unused block, until
// MaxClients run. Returns when dispatched, or when the block's shut-down flag is set.
void ZEVS_DispatchPlovenAgentDiscovery(const char* address, int32_t basePort, const char* listenAddress,
                                       int32_t portCount);

namespace zevs {

constexpr int32_t kDefaultMaxDiscoveryClients = 10;

// Makes the pool for the block: ZEVP_SNMP_PLOVEN_MAX_CLIENT_TASKS blocks (a value
// below 1 or no number gives 10), with a client started in the first half of them.
void StartDiscoveryClients(NetworkConfigurationBlock* block, int32_t basePort, const char* listenAddress);
// Tells every running client to stop, waits until each has, and frees the pool.
void StopDiscoveryClients();

}  // namespace zevs

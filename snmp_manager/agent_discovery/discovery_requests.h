// The queue of agent discovery requests: addresses to probe for the maker's agents,
// posted by the network monitor, network discovery and ICMP probing, and taken by the
// discovery manager thread, which the posters wake through its condition.
#pragma once

#include <pthread.h>

struct NetworkConfigurationBlock;

// The address field holds at most 39 characters; "0.0.0.0" asks for a recheck of
// every known agent. Owned by the queue until taken, then by the taker.
constexpr int kDiscoveryAddressSize = 40;
struct PlovenDiscoveryRequest {
  PlovenDiscoveryRequest* next;
  char address[kDiscoveryAddressSize];
};

// The manager's wake-up: posters signal the condition under the mutex.
extern pthread_mutex_t AgentDiscoveryRequestMutex;
extern pthread_cond_t AgentDiscoveryRequestTaskControl;

// Queues a probe of the address (cut to 39 characters) and wakes the manager. Nothing
// while no manager accepts requests or discovery is off (no queue grows that nobody
// takes; the posters post again at their next probe or check); the manager is woken but
// nothing is queued for a null address or once the block's shut-down flag is set, so
// a null address wakes the manager for its shut-down.
void ZEVS_EnqueuePlovenDiscoveryRequest(const char* address);

// The next request (the caller frees it with delete), or null when the queue is empty
// or the shut-down flag is set. A request for the address of a known router is
// dropped, traced, and the next one taken: routers are never probed for agents.
PlovenDiscoveryRequest* ZEVS_DequeuePlovenDiscoveryRequest();

namespace zevs {

// The manager accepts requests for the block from now on (a queue left over from an
// earlier manager of the process is emptied first).
void AcceptDiscoveryRequests(NetworkConfigurationBlock* block);
// The manager takes no more requests: the block is forgotten and what is queued freed.
void RefuseDiscoveryRequests();

}  // namespace zevs

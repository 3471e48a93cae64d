// The request that hands the host's own network to the network monitoring server.
// (Apart from the network records: the engine's request header declares a node
// record of its own under the same name.)
#pragma once

#include <cstdint>

struct DPAB;
struct NetworkEntry;

namespace zevs {

// Queues a start request (poll interval 300 s) for the network to the server; false
// when none was queued (no server, or no storage).
bool RequestNetworkManagement(DPAB* anchor, NetworkEntry* network, uint32_t address);

}  // namespace zevs

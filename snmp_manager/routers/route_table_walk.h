// The walk of the MIB-II route tables of the known routers: each route's
// destination enters the network list and the router's networks, and each next
// hop is registered as a router. One walk at a time, paced.
#pragma once

struct NetworkConfigurationBlock;

// Walks every known router's tables once (argument the block), ending early when
// the block's route-table-walk-running flag is cleared or on shut-down.
void* ZEVS_DiscoverRouterViaSNMP(void* block);

namespace zevs {

// Starts the walk on a detached thread, counted as a user of the block, unless
// one runs ("Start DiscoverRouterViaSNMP task bypassed"). False when none started.
bool StartRouteTableWalk(NetworkConfigurationBlock* block);

}  // namespace zevs

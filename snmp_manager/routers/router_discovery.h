// The router discovery thread: reads the routers of the last run, asks and
// listens for RIP, and then, until the data provider ends, reports the ROUTER
// rows and the router work file, starts the route-table walks and the RIP
// listens at their paces, and checks whether the known routers answer.
#pragma once

#include <cstdint>

struct NetworkConfigurationBlock;

// Thread routine of the manager task (argument the block); ends with its shut-down.
void* ZEVS_DiscoverRouterTask(void* block);

namespace zevs {

// When the router thread reports next: TTL seconds on, at most an hour.
int64_t NextRouterReport(int64_t now, int32_t networkDataTTL);

}  // namespace zevs

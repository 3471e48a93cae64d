// RIP on the network: the broadcast request for the routers' tables, the listen
// for their periodic updates on the router port, and two routines that nothing
// starts (a request to every host of each network, and one to each active
// subnet's broadcast address). Every answer registers its sender as a router and
// is read with ZEVS_ProcessRIPmessage.
#pragma once

#include <atomic>

struct NetworkConfigurationBlock;

// The listen socket on the router port (opened by the first listen, kept for the
// process) and the subnet requests' broadcast socket; -1 while closed.
extern std::atomic<int> sockLRU;
extern std::atomic<int> sockOSR;

// One broadcast request; answers are read until none came for
// ZEVP_SNMP_ROUTEREQ_WAIT seconds (default 15).
void ZEVS_DiscoverRoutesViaBroadcast(NetworkConfigurationBlock* block);
// Listens 40 seconds on the router port, then makes each network's confirmed
// router of the best metric its router.
void ZEVS_ListenRouterUpdates(NetworkConfigurationBlock* block);
// Thread routines (argument the block), not started by the data provider.
void* ZEVS_DiscoverRouterViaPoll(void* block);
void* ZEVS_ObtainSubnetRoutes(void* block);

// Closes both RIP sockets; the router thread's end.
void ZEVS_CloseRIPsockets();

// The block's list of known routers: finding or adding a router, the per-network
// arrays of a router, and the chain of a network's routers. The routines work on
// the process's block (NCB); without one they find nothing.
//
// Lock order: the router-list lock comes before a router's own lock; a network
// entry's lock may be held while the router-list lock is taken (a NETSUMMARY row
// attaches the network's routers), so no network entry's lock is ever taken while
// the router-list lock is held.
#pragma once

#include <netinet/in.h>

#include <cstdint>

struct NetworkConfigurationBlock;
struct NetworkEntry;
struct RouterEntry;

// Slots each per-network array of a router grows by.
constexpr int32_t ZEVS_ROUTER_ARRAY_STEP = 16;

// Finds or adds the router of the IPv4 address (the rest of the record goes to
// the name look-up only), sets its status and sends its ROUTER row. A new router
// gets its sysDescr (asked before any lock is taken), its short host name (else
// the dotted address) and arrays of 16 slots. Null for 0.0.0.0 and 127.0.0.1,
// without a block, or without storage.
RouterEntry* ZEVS_UpdateDiscoveredRouter(const sockaddr_in* address, int32_t status);

// Grows the router's three per-network arrays by 16 slots, keeping their contents.
// false (nothing changed) without storage. Under the router's lock, or before it
// is listed.
bool ZEVS_AllocateRouterNetworkArray(RouterEntry* router);

// Frees a router with what it owns (not linked any more, or the list's release).
void ZEVS_FreeRouterEntry(RouterEntry* router);

// Rebuilds the network's chain of routers (those whose address lies in the
// network) through RouterEntry::nextOnNetwork. Under the network's lock.
void ZEVS_LocateNetworkRouters(NetworkEntry* network);

namespace zevs {

// Puts the network into the router's first free slot with the metric and next hop
// (network order) unless the router lists it already, growing the arrays when
// they are full. True when it was added. Takes the router's lock.
bool AddRouterNetwork(RouterEntry* router, NetworkEntry* network, uint32_t metric, uint32_t nextHop);

// The network the router's address belongs to, looked up once and kept; null
// while none is known. Takes no lock that the caller may hold.
NetworkEntry* RouterOwnNetwork(RouterEntry* router);

// The routers of the block in list order, for walks that must not hold the
// router-list lock: entries are never freed while the block's threads run.
RouterEntry* FirstRouter(NetworkConfigurationBlock* block);
RouterEntry* NextRouter(NetworkConfigurationBlock* block, RouterEntry* router);

}  // namespace zevs

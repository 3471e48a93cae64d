// The block's list of known networks: new entries with their per-host arrays, the
// repair of its forward links, and the look-ups by address. The look-ups and the
// repair work on the process's block (NCB); without one they find nothing.
//
// Addresses are in network byte order; masks handed in are too, and a NetworkEntry
// keeps its mask in host byte order. The list's links change only under the block's
// network-list lock, and every entry's backup next link equals its next link.
#pragma once

#include <cstdint>

struct NetworkConfigurationBlock;
struct NetworkEntry;

// The largest signed 32-bit value: a host's minimum response time before any reply.
constexpr uint32_t ZEVS_NO_RESPONSE_TIME = 2147483647u;
constexpr int32_t ZEVS_MAX_HOST_RANGE = 65535;

// A new entry for the network, appended to the list (the first one ever is the
// manager's own network, MyOwnNetwork, route metric 0; others 16), state 0, poll
// interval 300, its symbolic name looked up, the mask (0: 255.255.255.0), its host
// range the mask's complement capped at 65535, and its NETSUMMARY row sent when
// sendRow is set. Null for 0.0.0.0, a known network, or a range of 0.
NetworkEntry* ZEVS_UpdateNetworkListEntry(const uint32_t* address, uint32_t mask, int sendRow);

// (Re)makes the entry's status letters ('0') and response times (minimum
// ZEVS_NO_RESPONSE_TIME, current and maximum 0), one per host index. Under the
// entry's lock, or before the entry is listed.
void ZEVS_AllocateNetStatArray(NetworkEntry* entry);

// Links forward an entry whose next link is null while it is not the tail, from the
// previous links; with sound links it changes nothing.
void ZEVS_RepairNetworkList();

// 1 when a network of the list has the address (*entry set, when entry is given);
// 0.0.0.0 counts as known, with no entry, once the list holds a network.
int ZEVS_IsKnownNetwork(uint32_t address, NetworkEntry** entry);
// The entry of the network address, or null ("Input network %s unknown"; a null
// address pointer is traced too).
NetworkEntry* ZEVS_LocateKnownNetwork(const uint32_t* address);
// The entry of the address's class network, or null.
NetworkEntry* ZEVS_LocateBaseNetworkEntry(uint32_t network);
// Among the networks that hold the address, the one with the longest mask; null
// ("NetworkEntry object not found") when none does.
NetworkEntry* ZEVS_LocateMyNetwork(uint32_t address);
// The network of a host address: its class network, or, when that network is known
// with a mask other than its class mask, the address under that mask.
void ZEVS_RetrieveNetworkAddress(uint32_t* network, const uint32_t* address);
namespace zevs {
// True for a network in state 2 or 3 (excluded); takes the entry's lock.
bool IsExcludedNetwork(NetworkEntry* network);
}  // namespace zevs

// Asks subnet discovery for the real mask of every network not excluded that still
// carries a class mask it did not learn from a route table or an interface.
void ZEVS_ValidateSubnetMask(NetworkConfigurationBlock* block);

// The first entry ever added to the list; null before.
extern NetworkEntry* MyOwnNetwork;

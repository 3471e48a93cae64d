// The node addresses of a network address that a start request names.
#pragma once

#include <cstdint>

struct DPAB;

// The network's nodes as dotted addresses, each followed by a blank, in a new
// storage block through out (the caller frees it); the result is their count.
// A network of the network list spans its mask's complement, at most 65535; any
// other must be a class C network (255). 0, out null, for a node address, a
// network that is neither, or no storage.
int ZEVP_ConstructNetworkNodeList(DPAB* anchor, char** out, const char* networkAddress);

// The mask (host order) of the network at the address (host order) when the network
// list of the process's SNMP manager knows it, else 0.
uint32_t ZEVP_KnownNetworkMask(uint32_t networkAddress);

// The node addresses of a network address that a start request names.
#pragma once

struct DPAB;

// The network's nodes as dotted addresses, each followed by a blank, in a new
// storage block through out (the caller frees it); the result is their count.
// A network of the network list spans its mask's complement, at most 65535; any
// other must be a class C network (255). 0, out null, for a node address, a
// network that is neither, or no storage.
int ZEVP_ConstructNetworkNodeList(DPAB* anchor, char** out, const char* networkAddress);

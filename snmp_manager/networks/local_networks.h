// The host's own networks, learned from its interfaces, and its network address and
// mask.
#pragma once

#include <cstdint>
#include <string>

struct NetworkConfigurationBlock;

// Enters the network of every interface (at most 12) with an address and a mask:
// the host's own interface (the one with the host's address, else the first) as
// managed (state 1), learned from an interface, unless ZEVP_SNMP_MANAGE_LOCAL_NETWORK
// begins with N; the others, and the own one then, in state 0. The host's default
// router is registered. Non-zero when the block then holds a network or a router.
int ZEVS_RetrieveLocalNetworkInfo(NetworkConfigurationBlock* block);

// The dotted network address of the host's address, found on the first call and
// kept; null while the host's address is not known.
const char* ZEVS_GetLocalNetAddrString();
// The mask (network byte order) of the interface that holds the host's address,
// else the class mask of that address.
uint32_t ZEVS_GetLocalNetMask();

// The dotted address at which a peer can reach this host: the host's address,
// unless that is a loopback one (as a Debian host's own name gives, 127.0.1.1) and an
// interface has another, then the first such; empty when none is known.
std::string ZEVS_ReachableLocalAddress();

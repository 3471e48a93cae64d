// Finding a subnetted network's other subnets, and guessing a network's mask, by
// probing (ICMP echo) a few addresses of its class network.
#pragma once

#include <cstdint>
#include <vector>

struct NetworkEntry;

// Probes the first address of each potential subnet of the class network of a
// network whose mask is no class mask, once, and enters every subnet that answers
// as a network.
void ZEVS_CheckValidSubnets(NetworkEntry* network);

// Probes the hosts 1, 2, 4, 8 … of the network's class network until one answers:
// the offsets that did not answer give the mask. 127.0.0.1 and 127.0.0.0 get
// 255.255.255.255 (range 1). Excluded networks are left alone.
void ZEVS_DetermineAndSetSubnetMask(NetworkEntry* network);

namespace zevs {

// The subnet search of ZEVS_CheckValidSubnets: the offsets (from the address of
// the network's class network) of the subnets that answered, each entered as a
// network.
std::vector<uint32_t> SearchSubnets(NetworkEntry* network);

}  // namespace zevs

// Class masks and class network numbers of IPv4 addresses. Addresses are in network
// byte order; so is the class mask handed back. ZEVS_IsStandardSubnetMask takes a
// mask as a NetworkEntry holds it, in host byte order.
#pragma once

#include <cstdint>
#include <string>

// The class mask of the address by its first byte: 255.0.0.0 (top bit 0),
// 255.255.0.0 (top bits 10), 255.255.255.0 (110), else 255.255.255.255.
uint32_t ZEVS_GetStandardNetMask(uint32_t address);
// 1 for exactly 255.255.255.0, 255.255.0.0 and 255.0.0.0 (host order), else 0.
int ZEVS_IsStandardSubnetMask(uint32_t hostOrderMask);
// 1 when the address is of class C, else 0.
int ZEVS_IsClassCnetwork(uint32_t address);
// The class network number of the address (its host bytes cleared; an address of
// class D or E unchanged) into *network.
void ZEVS_Netnum(uint32_t* network, uint32_t address);

namespace zevs {

// The dotted text of an address in network byte order, and of a mask in host order.
std::string DottedAddress(uint32_t address);
std::string DottedMask(uint32_t hostOrderMask);

}  // namespace zevs

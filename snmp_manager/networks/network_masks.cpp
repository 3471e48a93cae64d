#include "network_masks.h"

#include <arpa/inet.h>

#include "debug_switches.h"

TRC_UNIT();

namespace {

constexpr uint32_t kClassA = 0xFF000000u;
constexpr uint32_t kClassB = 0xFFFF0000u;
constexpr uint32_t kClassC = 0xFFFFFF00u;
constexpr uint32_t kNoClass = 0xFFFFFFFFu;

// The class number 1 (A) … 3 (C), or 0 for classes D and E.
int AddressClass(uint32_t address) {
  const uint32_t first = ntohl(address) >> 24;
  if ((first & 0x80u) == 0) return 1;
  if ((first & 0xC0u) == 0x80u) return 2;
  if ((first & 0xE0u) == 0xC0u) return 3;
  return 0;
}

uint32_t HostOrderClassMask(uint32_t address) {
  switch (AddressClass(address)) {
    case 1:
      return kClassA;
    case 2:
      return kClassB;
    case 3:
      return kClassC;
    default:
      return kNoClass;
  }
}

}  // namespace

uint32_t ZEVS_GetStandardNetMask(uint32_t address) { return htonl(HostOrderClassMask(address)); }

int ZEVS_IsStandardSubnetMask(uint32_t hostOrderMask) {
  return hostOrderMask == kClassA || hostOrderMask == kClassB || hostOrderMask == kClassC ? 1 : 0;
}

int ZEVS_IsClassCnetwork(uint32_t address) { return AddressClass(address) == 3 ? 1 : 0; }

void ZEVS_Netnum(uint32_t* network, uint32_t address) {
  *network = address & htonl(HostOrderClassMask(address));
  ZEVS_TRC(ZEVS_DEBUG_Network, TRC_UNIT_DETAIL, "Network address class %d ->%s", AddressClass(address),
           zevs::DottedAddress(*network).c_str());
}

namespace zevs {

std::string DottedAddress(uint32_t address) {
  char text[INET_ADDRSTRLEN] = "";
  in_addr value{};
  value.s_addr = address;
  inet_ntop(AF_INET, &value, text, sizeof text);
  return text;
}

std::string DottedMask(uint32_t hostOrderMask) { return DottedAddress(htonl(hostOrderMask)); }

}  // namespace zevs

#include "local_networks.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "debug_switches.h"
#include "manager_routines.h"
#include "manager_switches.h"
#include "network_configuration_block.h"
#include "network_file_fields.h"
#include "network_list.h"
#include "network_masks.h"
#include "zev0/hostnames.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

constexpr int kMaxInterfaces = 12;
constexpr size_t kInterfaceBufferSize = 4096;
constexpr int32_t kRouterVerify = 2;

struct LocalInterface {
  std::string name;
  uint32_t address;  // network order
  uint32_t mask;     // network order
};

uint32_t AddressOf(const sockaddr& address) {
  sockaddr_in inet{};
  std::memcpy(&inet, &address, sizeof inet);
  return inet.sin_addr.s_addr;
}

// The interfaces with both an address and a mask, at most kMaxInterfaces, from a
// buffer of bufferSize bytes.
std::vector<LocalInterface> ListInterfaces(size_t bufferSize) {
  std::vector<LocalInterface> interfaces;
  int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (sock < 0) {
    TRC(TRC_ERROR, "***** Interface socket failed, errno %d", errno);
    return interfaces;
  }
  std::vector<char> buffer(bufferSize, '\0');
  ifconf list{};
  list.ifc_len = static_cast<int>(buffer.size());
  list.ifc_buf = buffer.data();
  if (ioctl(sock, SIOCGIFCONF, &list) < 0) {
    TRC(TRC_ERROR, "***** SIOCGIFCONF failed, errno %d", errno);
    ZEV0_CloseTheSocket(sock);
    return interfaces;
  }
  const size_t records = std::min<size_t>(static_cast<size_t>(list.ifc_len) / sizeof(ifreq), kMaxInterfaces);
  for (size_t index = 0; index < records; ++index) {
    ifreq request{};
    std::memcpy(&request, buffer.data() + index * sizeof(ifreq), sizeof request);
    request.ifr_name[IFNAMSIZ - 1] = '\0';
    LocalInterface found{request.ifr_name, 0, 0};
    if (ioctl(sock, SIOCGIFADDR, &request) < 0) continue;
    found.address = AddressOf(request.ifr_addr);
    if (ioctl(sock, SIOCGIFNETMASK, &request) < 0) continue;
    found.mask = AddressOf(request.ifr_netmask);
    interfaces.push_back(found);
  }
  ZEV0_CloseTheSocket(sock);
  return interfaces;
}

// The host's address in network order; false while it is not known.
bool HostAddress(uint32_t* address) {
  const char* text = ZEV0_LocalHostAddrString();
  return text != nullptr && zevs::ParseDottedAddress(text, address);
}

// 127.0.0.0/8: only this host reaches it.
bool IsLoopback(uint32_t address) { return (ntohl(address) >> 24) == 127; }

bool ManagesOwnNetwork() { return zevs::FirstLetter("ZEVP_SNMP_MANAGE_LOCAL_NETWORK", "Y") != 'N'; }

void RegisterGateway(const char* gateway) {
  sockaddr_in address{};
  if (!ZEV0_ConvertNameToAddr(gateway, 0, &address)) return;
  RouterEntry* router = zevs::Routines().updateDiscoveredRouter(&address, kRouterVerify);
  if (router == nullptr) return;
  BSV1_GetLock(&router->lock);
  router->unconfirmed = 0;
  BSV1_ReleaseLock(&router->lock);
}

}  // namespace

int ZEVS_RetrieveLocalNetworkInfo(NetworkConfigurationBlock* block) {
  const bool manageOwn = ManagesOwnNetwork();
  const std::vector<LocalInterface> interfaces = ListInterfaces(kInterfaceBufferSize);
  if (interfaces.empty()) {
    TRC(TRC_ERROR, "No ip adapter specification found");
  } else {
    uint32_t hostAddress = 0;
    size_t own = 0;
    if (HostAddress(&hostAddress))
      for (size_t index = 0; index < interfaces.size(); ++index)
        if (interfaces[index].address == hostAddress) {
          own = index;
          break;
        }
    char* gateway = zevs::Routines().identifyOwnDefaultRouter();
    const LocalInterface& host = interfaces[own];
    const uint32_t ownNetwork = host.address & host.mask;
    if (!manageOwn) {
      TRC(TRC_DETAIL,
          "Skipping management of local network %s per environment variable ZEVP_SNMP_MANAGE_LOCAL_NETWORK=N",
          zevs::DottedAddress(ownNetwork).c_str());
    } else if (NetworkEntry* entry = ZEVS_UpdateNetworkListEntry(&ownNetwork, host.mask, 0)) {
      BSV1_GetLock(&entry->lock);
      entry->learnedFromRouteTable = 1;
      entry->state = ZEVS_NETWORK_MANAGED;
      BSV1_ReleaseLock(&entry->lock);
    }
    if (gateway != nullptr) RegisterGateway(gateway);
    ZEV0_FreeStorage(&gateway);
    for (const LocalInterface& found : interfaces) {
      const uint32_t network = found.address & found.mask;
      ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Interface %s network %s mask %s", found.name.c_str(),
               zevs::DottedAddress(network).c_str(), zevs::DottedAddress(found.mask).c_str());
      if (network != 0) ZEVS_UpdateNetworkListEntry(&network, found.mask, 0);
    }
  }
  BSV1_GetLock(&block->routerListLock);
  const bool routers = block->routers != nullptr;
  BSV1_ReleaseLock(&block->routerListLock);
  BSV1_GetLock(&block->networkListLock);
  const bool networks = block->networks != nullptr;
  BSV1_ReleaseLock(&block->networkListLock);
  return routers || networks ? 1 : 0;
}

const char* ZEVS_GetLocalNetAddrString() {
  static std::mutex made;
  static char* netAddrString = nullptr;
  std::lock_guard<std::mutex> hold(made);
  uint32_t hostAddress = 0;
  if (netAddrString == nullptr && HostAddress(&hostAddress)) {
    uint32_t network = 0;
    ZEVS_RetrieveNetworkAddress(&network, &hostAddress);
    const std::string text = zevs::DottedAddress(network);
    netAddrString = static_cast<char*>(ZEV0_GetStorage(256));
    if (netAddrString != nullptr) {
      std::snprintf(netAddrString, 256, "%s", text.c_str());
      ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Local network address is %s", netAddrString);
    }
  }
  return netAddrString;
}

uint32_t ZEVS_GetLocalNetMask() {
  uint32_t hostAddress = 0;
  if (!HostAddress(&hostAddress)) return 0;
  for (const LocalInterface& found : ListInterfaces(kMaxInterfaces * sizeof(ifreq)))
    if (found.address == hostAddress) return found.mask;
  return ZEVS_GetStandardNetMask(hostAddress);
}

std::string ZEVS_ReachableLocalAddress() {
  uint32_t hostAddress = 0;
  const bool known = HostAddress(&hostAddress);
  if (known && !IsLoopback(hostAddress)) return zevs::DottedAddress(hostAddress);
  for (const LocalInterface& found : ListInterfaces(kInterfaceBufferSize))
    if (found.address != 0 && !IsLoopback(found.address)) {
      ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "Host address %s is a loopback address: %s of %s named instead",
               known ? zevs::DottedAddress(hostAddress).c_str() : "unknown",
               zevs::DottedAddress(found.address).c_str(), found.name.c_str());
      return zevs::DottedAddress(found.address);
    }
  return known ? zevs::DottedAddress(hostAddress) : std::string();
}

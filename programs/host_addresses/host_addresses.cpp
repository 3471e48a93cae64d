#include "host_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <sys/socket.h>

namespace zevdaemon {

namespace {

bool IsInterfaceAddress(in_addr address) {
  ifaddrs* interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) return false;
  bool found = false;
  for (ifaddrs* each = interfaces; each != nullptr && !found; each = each->ifa_next) {
    if (each->ifa_addr == nullptr || each->ifa_addr->sa_family != AF_INET) continue;
    found = reinterpret_cast<const sockaddr_in*>(each->ifa_addr)->sin_addr.s_addr == address.s_addr;
  }
  freeifaddrs(interfaces);
  return found;
}

}  // namespace

bool IsAddressOfThisHost(in_addr address) {
  if ((ntohl(address.s_addr) >> 24) == 127) return true;
  return IsInterfaceAddress(address);
}

}  // namespace zevdaemon

#include "network_namespace.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string Failed(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

std::string EnterOwnNetworkNamespace() {
  if (unshare(CLONE_NEWNET) != 0) return Failed("unshare(CLONE_NEWNET)");
  int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (socket < 0) return Failed("socket");
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  std::string failure;
  if (ioctl(socket, SIOCGIFFLAGS, &request) != 0) {
    failure = Failed("SIOCGIFFLAGS lo");
  } else {
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
    if (ioctl(socket, SIOCSIFFLAGS, &request) != 0) failure = Failed("SIOCSIFFLAGS lo");
  }
  close(socket);
  return failure;
}

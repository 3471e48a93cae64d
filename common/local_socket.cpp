#include "zev0/sockets.h"

#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "trc1.h"
#include "zev0/hostnames.h"

TRC_UNIT();

namespace {

const char* socketTypeName(int type) {
  if (type == SOCK_DGRAM) return "UDP";
  if (type == SOCK_STREAM) return "TCP";
  return "Unknown";
}

// Every socket binds to the address the local host name had at the first open;
// any local address when that name does not resolve.
const sockaddr_in& ownLocalSockAddr() {
  static const sockaddr_in OwnLocalSockAddr = [] {
    sockaddr_in address;
    ZEV0_ConvertNameToAddr(ZEV0_LocalHostNameString(), 0, &address);
    return address;
  }();
  return OwnLocalSockAddr;
}

// Callers take descriptor 0 for "no socket", so a socket that comes out as 0 is
// left open unused and another one is made.
int socketOtherThanZero(int type) {
  int descriptor = socket(AF_INET, type | SOCK_CLOEXEC, 0);
  while (descriptor == 0) {
    TRC(TRC_DETAIL, "Socket 0 skipped for use but remains open.");
    descriptor = socket(AF_INET, type | SOCK_CLOEXEC, 0);
  }
  return descriptor;
}

// Before the bind, where they count: a server restarted while its old
// connections sit in TIME_WAIT binds its port again only with SO_REUSEADDR on.
// A UDP socket on a port of the kernel's choosing never takes it: two such sockets
// could be given one port, and one would then receive the other's datagrams.
void setSocketOptions(int descriptor, int type, uint16_t port, int reuse) {
  int nonBlocking = 1;
  ZEV0_SetSocketIoctl(descriptor, FIONBIO, &nonBlocking);
  int reuseAddress = type == SOCK_DGRAM && port == 0 ? 0 : reuse;
  if (setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &reuseAddress, sizeof reuseAddress) != 0) {
    int error = errno;
    TRC(TRC_ERROR, "setsockopt SO_REUSEADDR failed, errno %d", error);
  }
  if (type == SOCK_STREAM && setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &reuse, sizeof reuse) != 0) {
    int error = errno;
    TRC(TRC_ERROR, "setsockopt failed, errno %d", error);
  }
}

}  // namespace

int ZEV0_OpenLocalSocket(int type, uint16_t port, sockaddr_in* address, int noReuse) {
  sockaddr_in local = ownLocalSockAddr();
  int reuse = noReuse == 1 ? 0 : 1;
  int descriptor = socketOtherThanZero(type);
  if (descriptor < 0) {
    int error = errno;
    TRC(TRC_ERROR, "unable to open %s socket, errno=%d", socketTypeName(type), error);
    return -1;
  }
  setSocketOptions(descriptor, type, port, reuse);
  local.sin_port = port;
  if (address != nullptr) *address = local;
  if (bind(descriptor, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    int error = errno;
    TRC(TRC_ERROR, "bind failed for local %s socket %d, port=%d, errno=%d, LocalAddr=@%p", socketTypeName(type),
        descriptor, ntohs(port), error, static_cast<void*>(address));
    ZEV0_CloseTheSocket(descriptor);
    return -1;
  }
  return descriptor;
}

unsigned short ZEV0_RetrieveSockPort(int socketDescriptor) {
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  if (getsockname(socketDescriptor, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    int error = errno;
    TRC(TRC_ERROR, "*** getsockname failed for socket %d. errno %d", socketDescriptor, error);
    return 0;
  }
  return ntohs(bound.sin_port);
}

int ZEV0_SetSocketIoctl(int socketDescriptor, unsigned long request, void* argument) {
  int rc = ioctl(socketDescriptor, request, argument);
  if (rc < 0) {
    int error = errno;
    TRC(TRC_ERROR, "ioctl failed. errno %d", error);
  }
  return rc;
}

void ZEV0_CloseTheSocket(int socketDescriptor) {
  int rc = close(socketDescriptor);
  if (rc != 0) {
    if (socketDescriptor != 0) TRC(TRC_ERROR, "Unable to close socket %d, rc: %d", socketDescriptor, rc);
    return;
  }
  TRC(TRC_STORAGE, "Socket %d closed", socketDescriptor);
}

int ZEV0_WinSockInitialization() { return 1; }

void zev0::WidenReceiveBuffer(int socketDescriptor, int bytes) {
  if (setsockopt(socketDescriptor, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) return;
  setsockopt(socketDescriptor, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

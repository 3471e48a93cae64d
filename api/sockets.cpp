#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "api_trace.h"
#include "zevpapi/dp_api.h"

namespace {

// A handle keeps 0 as "no socket", so a socket made while standard input is closed is
// moved to another descriptor, and 0 is left closed as it was.
int OffDescriptorZero(int descriptor) {
  if (descriptor != 0) return descriptor;
  int moved = fcntl(descriptor, F_DUPFD_CLOEXEC, 1);
  zevpapi::TraceStep("sockets", "socket 0 moved to %d, errno %d", moved, moved < 0 ? errno : 0);
  close(descriptor);
  return moved;
}

}  // namespace

// Address reuse only for a stream socket: datagram sockets bind to ports the system
// picks, and two with reuse on could be given one port, the later taking the other's
// datagrams.
extern "C" int ZEVP_OpenSocket(int type) {
  int descriptor = OffDescriptorZero(socket(AF_INET, type | SOCK_CLOEXEC, 0));
  zevpapi::TraceStep("sockets", "socket type %d: %d, errno %d", type, descriptor, descriptor < 0 ? errno : 0);
  if (descriptor <= 0) return descriptor;
  int on = 1;
  if (type == SOCK_STREAM) {
    int rc = setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    zevpapi::TraceStep("sockets", "SO_REUSEADDR on %d: %d, errno %d", descriptor, rc, rc < 0 ? errno : 0);
  }
  int rc = ioctl(descriptor, FIONBIO, &on);
  zevpapi::TraceStep("sockets", "FIONBIO on %d: %d, errno %d", descriptor, rc, rc < 0 ? errno : 0);
  return descriptor;
}

extern "C" int ZEVP_CloseSocket(int socket) {
  int rc = close(socket);
  zevpapi::TraceStep("sockets", "close %d: %d", socket, rc);
  return rc;
}

#include "silent_listener.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "free_port.h"

namespace {

constexpr int kBacklog = 8;

}  // namespace

SilentListener::SilentListener(unsigned short port)
    : port_(port != 0 ? port : FreeLoopbackPort()), socket_(socket(AF_INET, SOCK_STREAM, 0)) {
  if (socket_ < 0 || port_ == 0) return;
  // Connections of earlier tests may linger on the port in TIME_WAIT.
  int reuse = 1;
  setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port_);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  listening_ =
      bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(socket_, kBacklog) == 0;
}

SilentListener::~SilentListener() {
  if (socket_ >= 0) close(socket_);
}

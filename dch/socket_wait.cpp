// Waiting for one socket until a deadline.
#include "socket_wait.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>
#include <climits>

#include "dch/ipc_sock.h"

SocketDeadline::SocketDeadline(int seconds)
    : limited_(seconds > 0), at_(std::chrono::steady_clock::now() + std::chrono::seconds(seconds > 0 ? seconds : 0)) {}

int SocketDeadline::remainingMs() const {
  if (!limited_) return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at_ - std::chrono::steady_clock::now()).count();
  if (left <= 0) return 0;
  return left < INT_MAX ? static_cast<int>(left) : INT_MAX;
}

int SocketWait(int sockFD, bool forWriting, const SocketDeadline& deadline) {
  pollfd watched{sockFD, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
  for (;;) {
    int rc = poll(&watched, 1, deadline.remainingMs());
    if (rc > 0) return 1;
    if (rc == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

bool SetReceiveTimeout(int sockFD, int ms, int* current) {
  if (ms == *current) return true;
  int nonBlocking = 0;
  if (*current == IPCSOCK_RECEIVE_TIMEOUT_NOT_SET && ioctl(sockFD, FIONBIO, &nonBlocking) != 0) return false;
  timeval limit{};
  if (ms > 0) {
    limit.tv_sec = ms / 1000;
    limit.tv_usec = (ms % 1000) * 1000;
  }
  if (setsockopt(sockFD, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) return false;
  *current = ms;
  return true;
}

// Waiting for one socket until a deadline.
#include "socket_wait.h"

#include <poll.h>

#include <cerrno>
#include <climits>

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

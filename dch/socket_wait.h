// Waiting for one socket, with a deadline that survives interruptions and ignored input.
// poll, not select: a descriptor of any number can be waited on.
#pragma once

#include <chrono>

class SocketDeadline {
 public:
  // seconds 0 or less: no limit.
  explicit SocketDeadline(int seconds);
  // Milliseconds left (0 once passed), or -1 without limit.
  int remainingMs() const;

 private:
  bool limited_;
  std::chrono::steady_clock::time_point at_;
};

// Waits until the socket can be read (or written). 1 ready, 0 the deadline passed, -1 the
// wait failed (errno tells).
int SocketWait(int sockFD, bool forWriting, const SocketDeadline& deadline);

// A receive that itself waits until a deadline, so that no poll goes before it: sets the
// socket's receive time-out to ms (1 or more, or -1 for no limit) unless *current, the
// one last set on it, is that already. *current is IPCSOCK_RECEIVE_TIMEOUT_NOT_SET before
// the first, which also makes the socket blocking: whoever sends on it then says
// MSG_DONTWAIT. False when the socket could not be set (errno tells).
bool SetReceiveTimeout(int sockFD, int ms, int* current);

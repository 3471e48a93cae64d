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

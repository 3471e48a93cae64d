#include "socket_waits.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace zevpapi {

namespace {

// A year: far beyond any wait of the library, and far from the clock's limits.
constexpr long long kLongestWaitSeconds = 24LL * 60 * 60 * 365;

int MillisecondsTo(const Clock::time_point* deadline) {
  if (deadline == nullptr) return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

}  // namespace

bool AwaitSocket(int descriptor, short events, const Clock::time_point* deadline) {
  for (;;) {
    pollfd wait{descriptor, events, 0};
    int ready = poll(&wait, 1, MillisecondsTo(deadline));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

Clock::time_point DeadlineIn(long long seconds) {
  return Clock::now() + std::chrono::seconds(std::clamp<long long>(seconds, 0, kLongestWaitSeconds));
}

}  // namespace zevpapi

// Waiting for a socket of the library, with or without a deadline.
#pragma once

#include <chrono>

namespace zevpapi {

using Clock = std::chrono::steady_clock;

// True once the socket shows one of the events (or an error or hang-up, which the
// next operation on it reports) before the deadline; a null deadline waits without
// limit. An interrupted wait goes on.
bool AwaitSocket(int descriptor, short events, const Clock::time_point* deadline);

// The deadline `seconds` from now, cut to what a wait can take.
Clock::time_point DeadlineIn(long long seconds);

}  // namespace zevpapi

// Requests to shut data providers down that arrive from outside their console:
// ZEVP_ImmediateDPshutdown for the main anchor, or one request for every data
// provider of the process. Until the console service is built, its stand-in
// waits here.
#pragma once

#include <cstdint>

struct DPAB;

namespace zevp {

// Asks every data provider running in the process to end, as the console command
// SHUTDOWN ends one. Data providers started afterwards are not affected.
void RequestShutdownOfEveryDP();

// The number of such requests so far.
uint64_t ShutdownRequestCount();

// Wakes the waiters below after an anchor's shut-down flag was set.
void NotifyShutdownFlagSet();

// Waits, without a time limit, until the anchor's shut-down flag is set or a
// request for every data provider came after `requestsSeen` of them.
void WaitForShutdownRequest(DPAB* anchor, uint64_t requestsSeen);

}  // namespace zevp

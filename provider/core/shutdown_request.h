// Requests to shut data providers down that arrive from outside their console:
// ZEVP_ImmediateDPshutdown for the main anchor, or one request that every data
// provider of the process ends. Until the console service is built, its stand-in
// waits here.
#pragma once

struct DPAB;

namespace zevp {

// Asks every data provider of the process to end, as the console command SHUTDOWN
// ends one: those running now, and any that starts later, as soon as its start-up
// is done. For a process that is ending.
void RequestShutdownOfEveryDP();

// Wakes the waiters below after an anchor's shut-down flag was set.
void NotifyShutdownFlagSet();

// Waits, without a time limit, until the anchor's shut-down flag is set or every
// data provider was asked to end.
void WaitForShutdownRequest(DPAB* anchor);

}  // namespace zevp

// Ending a data provider: telling its threads to end, waiting for them, and
// releasing its model and its anchor.
#pragma once

#include <cstdint>

struct DPAB;

// How long the shut-down waits for the threads, and how often it looks.
constexpr int ZEVP_SHUTDOWN_WAIT_SECONDS = 180;
constexpr int ZEVP_SHUTDOWN_LOOK_SECONDS = 5;

// Tells every thread made by ZEVP_CreateProcess to end, waits for them at most
// ZEVP_SHUTDOWN_WAIT_SECONDS, then releases the applications, the I/O entries and
// the internal routing blocks. keepRegistration non-zero: applications are not
// unregistered from the agent one by one. While threads still run after the wait,
// the model is left in place (they may still use it).
void ZEVP_ShutdownCleanUp(DPAB* anchor, int keepRegistration);

// Tells every thread of the main anchor to end and sets its shut-down flag,
// without waiting; nothing without a main anchor.
void ZEVP_ImmediateDPshutdown();

// Frees what the start-up made for the anchor and the anchor itself, and clears
// Main_DPAB when it is this anchor. While threads of the anchor still run, nothing
// is freed.
void ZEVP_ReleaseGlobalResources(DPAB* anchor);
